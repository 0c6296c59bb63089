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

// Set-up (blocking, before the window exists)
int start_server(uint16_t port);
int connect_to(const char* address, uint16_t port);
int network_init_server(uint16_t port);
int network_init_client(const char* address, uint16_t port);

// Non-blocking exchange used by the game
int network_send_move_async(int from_row, int from_col, int to_row, int to_col);
int network_check_move(int* from_row, int* from_col, int* to_row, int* to_col);
void network_cleanup();

// Blocking exchange and echo test loops
int wait_for_client(int listen_fd, int* peer_fd);
int send_move(int sock, const char* move);
int send_coords(int sock, const char* move);
int recv_move(int sock, char* buffer, int length);
int recv_coords(int sock, char* buffer, int length);
int run_server(uint16_t port);
int run_client(const char* address, uint16_t port);
