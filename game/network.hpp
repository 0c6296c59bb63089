// The peer link: one TCP connection between two game instances carrying
// four-byte move texts, plus blocking exchange primitives and two echo loops
// that the game itself does not use.
#pragma once

#include <cstdint>

// Connection state
extern int32_t network_socket; // server: listening socket; client: connected socket
extern int32_t client_socket;  // server: accepted peer, -1 while none
extern int32_t is_server;
extern int32_t is_connected;

// How the link finds a peer that has gone without a word (a machine switched
// off, a network that went away) and keeps an idle connection known to the
// firewalls and NATs on its way. Each peer connection gets these when it is
// made: TCP probes the peer once the connection has been quiet for
// `keepalive_idle_s`, then every `keepalive_interval_s`, and gives the
// connection up `peer_silence_limit_ms` after the peer's last packet (or
// after `keepalive_probes` unanswered probes, on a system that counts them),
// which is also as long as a sent move may stay unacknowledged; the loss then
// shows as a receive error. A client's connect gives up after `connect_limit_ms`.
// Read at set-up (and, on the server, at each accept); tests shorten them.
extern int32_t keepalive_idle_s;
extern int32_t keepalive_interval_s;
extern int32_t keepalive_probes;
extern int32_t peer_silence_limit_ms;
extern int32_t connect_limit_ms;

// Move text: source column letter, source row digit, destination column
// letter, destination row digit ("E7E4"); exactly these bytes on the wire.
constexpr int MOVE_TEXT_BYTES = 4;

// Writes the four bytes of the move and a zero byte into `text`.
void encode_move_text(int from_row, int from_col, int to_row, int to_col, char text[MOVE_TEXT_BYTES + 1]);
// Reads four bytes, each as a signed 8-bit value, with no range test: a
// lower-case letter or a byte of 0x80 and above gives a square off the board,
// which the rules refuse.
void decode_move_text(const char text[MOVE_TEXT_BYTES], int* from_row, int* from_col, int* to_row, int* to_col);

// Set-up (blocking, before the window exists)
// A listening socket for IPv6 and IPv4 peers alike on every interface (IPv4
// only on a system without IPv6), or -1.
int start_server(uint16_t port);
// `address` is a dotted IPv4 address, an IPv6 address (no brackets) or a
// name, which is looked up; each of its addresses is tried in turn.
int connect_to(const char* address, uint16_t port);
int network_init_server(uint16_t port);
// Also says on standard error, in the player's language, when the name is
// not found.
int network_init_client(const char* address, uint16_t port);
// The port the server listens on (the one the system chose for port 0), or
// -1 when it is no server.
int network_server_port();

// Non-blocking exchange used by the game
// A peer the server takes, by a poll or by a send, is first sent the moves
// of the game's history, in order: it then plays the game as it stands.
// 1 sent (all four bytes), 0 no peer, -1 failed and connection dropped.
int network_send_move_async(int from_row, int from_col, int to_row, int to_col);
// 1 a whole move text read (outputs written), 0 nothing yet, -1 connection
// lost. The bytes of a text that arrives in pieces are kept until it is whole.
// The text is printed with every byte that is not printable ASCII as \xNN.
int network_check_move(int* from_row, int* from_col, int* to_row, int* to_col);
// The socket on which the link's next event will show: the listening socket
// while a server waits for a peer, the peer's socket while one is connected;
// -1 when there is nothing to wait for (local mode, a client that lost its
// server, after clean-up).
int network_live_socket();
void network_cleanup();

// Blocking exchange and echo test loops
int wait_for_client(int listen_fd, int* peer_fd);
int send_move(int sock, const char* move);
int send_coords(int sock, const char* move);
int recv_move(int sock, char* buffer, int length);
int recv_coords(int sock, char* buffer, int length);
int run_server(uint16_t port);
int run_client(const char* address, uint16_t port);
