// The peer link: the non-blocking TCP connection the game plays over, the move
// text it carries, and the blocking exchange primitives and echo loops used to
// try a link by hand.
#include "network.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <locale.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "app.hpp"
#include "i18n.hpp"

int32_t network_socket = -1;
int32_t client_socket = -1;
int32_t is_server = 0;
int32_t is_connected = 0;

constexpr int LISTEN_BACKLOG = 1;

// A peer connection stays quiet while a player thinks, and nothing on the
// wire asks after the peer: without help from TCP a peer that vanished (no
// close, no reset ever comes) holds the server for good, and a firewall or
// NAT that forgets a quiet connection drops the next move. So:
// - a probe after 45 s of quiet keeps the connection known to anything on the
//   way that forgets after more than that (90 s and up is common);
// - 150 s after the peer's last packet, with the probes every 15 s unanswered,
//   the connection is given up: a vanished peer is let go within 3 minutes,
//   while a network that is gone for less than a minute loses nothing. A
//   gap that began at the latest at the first probe is over by 105 s, and a
//   probe at 105, 120 or 135 s finds the peer again; a move sent into the gap
//   is tried once more between 60 and about 120 s after it was sent (TCP
//   doubles its wait between tries), within the 150 s it may stay
//   unacknowledged;
// - 7 probes of 15 s after the 45 s make the same 150 s for a system that
//   counts probes instead of time.
constexpr int32_t KEEPALIVE_IDLE_S = 45;
constexpr int32_t KEEPALIVE_INTERVAL_S = 15;
constexpr int32_t KEEPALIVE_PROBES = 7;
constexpr int32_t PEER_SILENCE_LIMIT_MS = 150 * 1000;
static_assert(KEEPALIVE_IDLE_S + KEEPALIVE_PROBES * KEEPALIVE_INTERVAL_S == PEER_SILENCE_LIMIT_MS / 1000);
// A server that is there answers within a second or two. A connect that has
// had no answer to its tries at 0, 1, 3, 7 and 15 s is to a machine that is
// off or behind a firewall that drops it; left to the system it would go on
// for over two minutes, with no window and no word to the player. Refused
// and unreachable addresses still fail at once.
constexpr int32_t CONNECT_LIMIT_MS = 20 * 1000;

int32_t keepalive_idle_s = KEEPALIVE_IDLE_S;
int32_t keepalive_interval_s = KEEPALIVE_INTERVAL_S;
int32_t keepalive_probes = KEEPALIVE_PROBES;
int32_t peer_silence_limit_ms = PEER_SILENCE_LIMIT_MS;
int32_t connect_limit_ms = CONNECT_LIMIT_MS;

// How long a send that got part of a move text out may wait to finish it.
// Giving up at once would leave half a text on the wire, and the peer would
// then read every later text shifted by those bytes; waiting longer would
// freeze the window on a peer that has stopped reading.
constexpr int SEND_FINISH_WAIT_MS = 100;
// Four bytes shown as \xNN each at most, and a zero byte.
constexpr int SHOWN_TEXT_BYTES = 4 * MOVE_TEXT_BYTES + 1;
constexpr int ECHO_BUFFER_BYTES = 16;
constexpr unsigned ECHO_PAUSE_S = 2;
constexpr char ECHO_TEST_MOVE[] = "A1B2";

// The bytes of a move text that has begun to arrive on the current
// connection; they go with the connection. TCP may hand over a text in
// pieces (a slow link, a peer that writes byte by byte): dropping the first
// piece would make every later text on the connection start mid-text, so the
// pieces are kept until the text is whole.
static char pending_text[MOVE_TEXT_BYTES];
static int pending_count = 0;

// ---------------------------------------------------------------------------
// Move text

void encode_move_text(int from_row, int from_col, int to_row, int to_col, char text[MOVE_TEXT_BYTES + 1])
{
    text[0] = static_cast<char>('A' + from_col);
    text[1] = static_cast<char>('9' - from_row);
    text[2] = static_cast<char>('A' + to_col);
    text[3] = static_cast<char>('9' - to_row);
    text[4] = '\0';
}

void decode_move_text(const char text[MOVE_TEXT_BYTES], int* from_row, int* from_col, int* to_row, int* to_col)
{
    *from_col = static_cast<signed char>(text[0]) - 'A';
    *from_row = '9' - static_cast<signed char>(text[1]);
    *to_col = static_cast<signed char>(text[2]) - 'A';
    *to_row = '9' - static_cast<signed char>(text[3]);
}

// The text as it may safely reach a terminal: printable ASCII as it came,
// any other byte (a control sequence, a zero byte, 0x80 and up) as \xNN.
static void printable_move_text(const char text[MOVE_TEXT_BYTES], char shown[SHOWN_TEXT_BYTES])
{
    char* at = shown;
    for (int i = 0; i < MOVE_TEXT_BYTES; ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7F)
            *at++ = static_cast<char>(byte);
        else
            at += std::snprintf(at, 5, "\\x%02x", byte);
    }
    *at = '\0';
}

// ---------------------------------------------------------------------------
// Sockets

static sockaddr_in ipv4_record(uint16_t port)
{
    sockaddr_in record;
    std::memset(&record, 0, sizeof record);
    record.sin_family = AF_INET;
    record.sin_port = htons(port);
    return record;
}

static void set_non_blocking(int fd)
{
    const int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

// Keep-alive probes and the limit on unacknowledged bytes, as set above, on
// a peer connection. The results are ignored: a system without one of them
// still plays, as before.
static void watch_peer_connection(int fd)
{
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &keepalive_idle_s, sizeof keepalive_idle_s);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &keepalive_interval_s, sizeof keepalive_interval_s);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &keepalive_probes, sizeof keepalive_probes);
    setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &peer_silence_limit_ms, sizeof peer_silence_limit_ms);
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
}

static long long monotonic_ms()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

// Waits until `fd` may take more bytes; -1 with errno ETIMEDOUT once the
// deadline has passed.
static int wait_writable(int fd, long long deadline_ms)
{
    const long long left = deadline_ms - monotonic_ms();
    pollfd entry = {fd, POLLOUT, 0};
    const int ready = left > 0 ? poll(&entry, 1, static_cast<int>(left)) : 0;
    if (ready == 0)
        errno = ETIMEDOUT;
    return ready > 0 || (ready < 0 && errno == EINTR) ? 0 : -1;
}

// Sends all `length` bytes; 0, or -1 with errno set. A peer that has gone
// away shows up as EPIPE, never as a signal. A socket that takes nothing at
// first has failed (its buffer is full: the peer stopped reading long ago);
// one that took part of a move text gets a short while to take the rest, since
// half a text would garble every later one.
static int send_whole(int fd, const char* bytes, int length)
{
    const long long deadline_ms = monotonic_ms() + SEND_FINISH_WAIT_MS;
    int sent = 0;
    while (sent < length) {
        const ssize_t count = send(fd, bytes + sent, length - sent, MSG_NOSIGNAL);
        if (count > 0) {
            sent += static_cast<int>(count);
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count == 0)
            errno = EAGAIN;
        if (errno != EAGAIN || sent == 0 || wait_writable(fd, deadline_ms) < 0)
            return -1;
    }
    return 0;
}

// One socket for both families: IPv6 with IPv4 peers taken as mapped
// addresses, so that a peer reaches the game by either on the same port.
// -1 with errno EAFNOSUPPORT when this system cannot serve both that way.
static int listen_dual_stack(uint16_t port)
{
    sockaddr_in6 record;
    std::memset(&record, 0, sizeof record);
    record.sin6_family = AF_INET6;
    record.sin6_port = htons(port);
    record.sin6_addr = in6addr_any;
    const int fd = socket(AF_INET6, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    const int off = 0;
    if (setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off) < 0) {
        close(fd);
        errno = EAFNOSUPPORT;
        return -1;
    }
    if (bind(fd, reinterpret_cast<sockaddr*>(&record), sizeof record) < 0 || listen(fd, LISTEN_BACKLOG) < 0) {
        close(fd);
        return -1;
    }
    return fd;
}

static int listen_ipv4(uint16_t port)
{
    sockaddr_in record = ipv4_record(port);
    record.sin_addr.s_addr = htonl(INADDR_ANY);
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    if (bind(fd, reinterpret_cast<sockaddr*>(&record), sizeof record) < 0 || listen(fd, LISTEN_BACKLOG) < 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Listens on every interface, IPv6 and IPv4 alike; on IPv4 alone where the
// system has no IPv6 (a kernel built without it, or started with it off).
int start_server(uint16_t port)
{
    const int fd = listen_dual_stack(port);
    if (fd >= 0 || errno != EAFNOSUPPORT)
        return fd;
    return listen_ipv4(port);
}

// Waits for the connect begun on the non-blocking `fd`: 0 once connected,
// -1 with errno set when it failed, or ETIMEDOUT once `deadline_ms` passed.
static int finish_connect(int fd, long long deadline_ms)
{
    for (;;) {
        const long long left = deadline_ms - monotonic_ms();
        pollfd entry = {fd, POLLOUT, 0};
        const int ready = left > 0 ? poll(&entry, 1, static_cast<int>(left)) : 0;
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            if (ready == 0)
                errno = ETIMEDOUT;
            return -1;
        }
        int error = 0;
        socklen_t length = sizeof error;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) < 0)
            return -1;
        errno = error;
        return error == 0 ? 0 : -1;
    }
}

// A blocking socket connected to `address`, or -1 once it was refused or
// `deadline_ms` passed.
static int connect_address(const addrinfo* address, long long deadline_ms)
{
    const int fd = socket(address->ai_family, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    const int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    const int result = connect(fd, address->ai_addr, address->ai_addrlen);
    if (result < 0 && (errno != EINPROGRESS || finish_connect(fd, deadline_ms) < 0)) {
        close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, flags);
    return fd;
}

// AF_INET for a dotted IPv4 address, AF_INET6 for an IPv6 address (without
// brackets), AF_UNSPEC for anything else.
static int numeric_family(const char* host)
{
    unsigned char bytes[sizeof(in6_addr)];
    if (inet_pton(AF_INET, host, bytes) == 1)
        return AF_INET;
    return inet_pton(AF_INET6, host, bytes) == 1 ? AF_INET6 : AF_UNSPEC;
}

static addrinfo stream_hints(int family, int flags)
{
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = family;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | flags;
    return hints;
}

// A host that is neither address may be looked up unless it is empty or a
// number that is no dotted address ("127.0.0", "127.1"): the resolver would
// read that as an address, most likely not the one the player meant.
static bool may_look_up(const char* host)
{
    if (host[0] == '\0')
        return false;
    const addrinfo hints = stream_hints(AF_INET, AI_NUMERICHOST);
    addrinfo* found = nullptr;
    if (getaddrinfo(host, "0", &hints, &found) != 0)
        return true;
    freeaddrinfo(found);
    return false;
}

// Tries each address of `host` in turn, in the order the system gives, until
// one connects, all of them within `connect_limit_ms` together. An address
// is taken as written; a name is looked up, IPv6 and IPv4, and
// `lookup_error` gets getaddrinfo's error when it is not found (else 0).
static int connect_to_host(const char* host, uint16_t port, int* lookup_error)
{
    *lookup_error = 0;
    if (host == nullptr)
        return -1;
    const int family = numeric_family(host);
    if (family == AF_UNSPEC && !may_look_up(host))
        return -1;
    const addrinfo hints = stream_hints(family, family == AF_UNSPEC ? AI_ADDRCONFIG : AI_NUMERICHOST);
    char service[8];
    std::snprintf(service, sizeof service, "%u", static_cast<unsigned>(port));
    addrinfo* found = nullptr;
    *lookup_error = getaddrinfo(host, service, &hints, &found);
    if (*lookup_error != 0)
        return -1;
    int left = 0;
    for (const addrinfo* address = found; address != nullptr; address = address->ai_next)
        ++left;
    // Each address may take its share of the time still left, so that one
    // that never answers (IPv6 that goes nowhere, say) leaves the next its
    // chance; one refused at once leaves its share to the others.
    const long long deadline_ms = monotonic_ms() + connect_limit_ms;
    int fd = -1;
    for (const addrinfo* address = found; address != nullptr && fd < 0; address = address->ai_next, --left) {
        const long long now_ms = monotonic_ms();
        fd = connect_address(address, now_ms + (deadline_ms - now_ms) / left);
    }
    freeaddrinfo(found);
    return fd;
}

// Blocks until the connection is made, refused, or has had no answer for
// `connect_limit_ms`. A name that is not found is refused before any socket
// exists.
int connect_to(const char* address, uint16_t port)
{
    int lookup_error;
    return connect_to_host(address, port, &lookup_error);
}

// ---------------------------------------------------------------------------
// Set-up

// Makes a freshly set-up socket the link's own, non-blocking, as a server's
// listening socket or a client's connection; on -1 prints the failure line
// and leaves the link with no socket.
static int take_link_socket(int fd, int32_t as_server, const char* failure_line)
{
    network_socket = fd;
    if (fd == -1) {
        std::printf("%s\n", failure_line);
        return -1;
    }
    set_non_blocking(fd);
    is_server = as_server;
    is_connected = as_server ? 0 : 1;
    pending_count = 0;
    return 0;
}

int network_init_server(uint16_t port)
{
    std::printf("[DEBUG][NETWORK] Initializing server on port %d\n", port);
    if (take_link_socket(start_server(port), 1, "[ERROR] Failed to start server") < 0)
        return -1;
    std::printf("[DEBUG][NETWORK] Server listening on port %d (non-blocking)\n", port);
    return 0;
}

int network_init_client(const char* address, uint16_t port)
{
    // An IPv6 address is written in brackets before its port, as in URLs.
    const bool bracketed = address != nullptr && std::strchr(address, ':') != nullptr;
    std::printf(bracketed ? "[DEBUG][NETWORK] Initializing client to [%s]:%d\n"
                          : "[DEBUG][NETWORK] Initializing client to %s:%d\n",
                address, port);
    int lookup_error = 0;
    if (take_link_socket(connect_to_host(address, port, &lookup_error), 0, "[ERROR] Failed to connect to server") < 0) {
        if (lookup_error != 0) {
            /* Translators: on standard error when the server's name given to -c is not found: the name as the
               player typed it, then the system's reason. */
            std::fprintf(stderr, _("Erreur: Le nom %s est introuvable (%s)"), address, gai_strerror(lookup_error));
            std::fputc('\n', stderr);
        }
        return -1;
    }
    watch_peer_connection(network_socket);
    std::printf("[DEBUG][NETWORK] Connected to server (non-blocking)\n");
    return 0;
}

int network_server_port()
{
    sockaddr_storage record;
    socklen_t length = sizeof record;
    if (!is_server || getsockname(network_socket, reinterpret_cast<sockaddr*>(&record), &length) < 0)
        return -1;
    if (record.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<sockaddr_in6*>(&record)->sin6_port);
    return ntohs(reinterpret_cast<sockaddr_in*>(&record)->sin_port);
}

// ---------------------------------------------------------------------------
// Non-blocking exchange

// The server goes back to waiting for a peer; the client stays disconnected
// with its socket open until clean-up.
static void drop_connection()
{
    is_connected = 0;
    pending_count = 0;
    if (is_server && client_socket >= 0) {
        close(client_socket);
        client_socket = -1;
    }
}

// Brings the peer just taken up to the game as it stands, before anything
// new: the move text of every move kept in the history but the last
// `held_back`, in order, each then printed. A peer that cannot take them is
// dropped as after a failed send. 0, or -1 when the peer was dropped.
static int send_history(int32_t held_back)
{
    const int32_t count = move_history_count - held_back;
    if (count <= 0)
        return 0;
    char texts[MOVE_HISTORY_SIZE * MOVE_TEXT_BYTES + 1];
    for (int32_t i = 0; i < count; ++i) {
        const HistoryMove& m = move_history[i];
        encode_move_text(m[0], m[1], m[2], m[3], texts + i * MOVE_TEXT_BYTES);
    }
    if (send_whole(client_socket, texts, count * MOVE_TEXT_BYTES) < 0) {
        std::perror(_("Erreur envoi coup"));
        std::printf("[ERROR] Failed to send move, disconnecting\n");
        drop_connection();
        return -1;
    }
    for (int32_t i = 0; i < count; ++i)
        std::printf("[DEBUG][NETWORK] Replayed move: %.4s\n", texts + i * MOVE_TEXT_BYTES);
    return 0;
}

// Server only, while there is no peer: takes the peer waiting in the listening
// queue, if any, and sends it the game so far but the last `held_back` moves.
// 1 when a peer was taken, 0 when none was waiting (or accept failed: nothing
// changes), -1 when the peer taken was dropped at once.
static int accept_waiting_peer(int32_t held_back)
{
    sockaddr_storage peer;
    socklen_t length = sizeof peer;
    client_socket = accept(network_socket, reinterpret_cast<sockaddr*>(&peer), &length);
    if (client_socket < 0) {
        client_socket = -1;
        return 0;
    }
    set_non_blocking(client_socket);
    watch_peer_connection(client_socket);
    pending_count = 0;
    is_connected = 1;
    std::printf("[DEBUG][NETWORK] Client connected!\n");
    return send_history(held_back) < 0 ? -1 : 1;
}

static int peer_socket()
{
    return is_server ? client_socket : network_socket;
}

// The move being sent was applied just before, so it is the history's last
// move unless it found no room there.
static bool is_last_in_history(int from_row, int from_col, int to_row, int to_col)
{
    return move_history_count > 0 &&
           move_history[move_history_count - 1] == HistoryMove{from_row, from_col, to_row, to_col};
}

int network_send_move_async(int from_row, int from_col, int to_row, int to_col)
{
    if (!is_connected) {
        if (!is_server)
            return 0;
        // A peer taken now gets the history without this move, which then
        // follows as every move does: once, in its place, with its lines.
        const int accepted = accept_waiting_peer(is_last_in_history(from_row, from_col, to_row, to_col) ? 1 : 0);
        if (accepted <= 0)
            return accepted;
    }
    char text[MOVE_TEXT_BYTES + 1];
    encode_move_text(from_row, from_col, to_row, to_col, text);
    if (send_whole(peer_socket(), text, MOVE_TEXT_BYTES) < 0) {
        /* Translators: the start of a line on standard error, followed by ": " and the system's reason. */
        std::perror(_("Erreur envoi coup"));
        std::printf("[ERROR] Failed to send move, disconnecting\n");
        drop_connection();
        return -1;
    }
    std::printf("\nEnvoi du coup: %s\n", text);
    std::printf("[DEBUG][NETWORK] Sent move: %s\n", text);
    return 1;
}

// The system's text for an error as the C locale words it: standard output is
// read by programs, and stays the same in every language.
static const char* system_reason(int error)
{
    static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return c_locale ? strerror_l(error, c_locale) : std::strerror(error);
}

// One recv per call, never past the end of the text being completed, so texts
// that arrive together still come out one per poll.
int network_check_move(int* from_row, int* from_col, int* to_row, int* to_col)
{
    if (!is_connected) {
        if (is_server)
            accept_waiting_peer(0);
        return 0;
    }
    const ssize_t count = recv(peer_socket(), pending_text + pending_count, MOVE_TEXT_BYTES - pending_count, 0);
    if (count == 0) {
        std::printf("[DEBUG][NETWORK] Connection closed\n");
        drop_connection();
        return -1;
    }
    if (count < 0) {
        // A signal during the call loses nothing: the bytes are still there.
        if (errno == EAGAIN || errno == EINTR)
            return 0;
        std::printf("[ERROR] Network error: %s\n", system_reason(errno));
        drop_connection();
        return -1;
    }
    pending_count += static_cast<int>(count);
    if (pending_count < MOVE_TEXT_BYTES)
        return 0;
    pending_count = 0;
    char shown[SHOWN_TEXT_BYTES];
    printable_move_text(pending_text, shown);
    std::printf("[DEBUG][NETWORK] Received move: %s\n", shown);
    decode_move_text(pending_text, from_row, from_col, to_row, to_col);
    return 1;
}

int network_live_socket()
{
    if (is_server)
        return is_connected ? client_socket : network_socket;
    return is_connected ? network_socket : -1;
}

void network_cleanup()
{
    if (network_socket >= 0) {
        close(network_socket);
        network_socket = -1;
    }
    if (client_socket >= 0) {
        close(client_socket);
        client_socket = -1;
    }
    is_connected = 0;
    is_server = 0;
    pending_count = 0;
}

// ---------------------------------------------------------------------------
// Blocking exchange

// Stores the accepted peer's socket, or -1, through `peer_fd`.
int wait_for_client(int listen_fd, int* peer_fd)
{
    sockaddr_storage peer;
    socklen_t length;
    int fd;
    do {
        length = sizeof peer;
        fd = accept(listen_fd, reinterpret_cast<sockaddr*>(&peer), &length);
    } while (fd < 0 && errno == EINTR);
    *peer_fd = fd < 0 ? -1 : fd;
    return fd < 0 ? -1 : 0;
}

// `move` holds a move text and its zero byte; its first four bytes are sent.
int send_move(int sock, const char* move)
{
    if (send_whole(sock, move, MOVE_TEXT_BYTES) < 0) {
        std::perror(_("Erreur envoi coup"));
        return -1;
    }
    std::printf("\nEnvoi du coup: %s\n", move);
    return 0;
}

int send_coords(int sock, const char* move)
{
    return send_move(sock, move);
}

// Bytes received, 0 to 4 (0: the peer closed); -1 on failure or when the
// buffer cannot hold four bytes and a zero byte.
int recv_move(int sock, char* buffer, int length)
{
    std::printf("\nAttente du coup adverse...\n");
    // Whoever reads this output sees the wait before it begins, whatever the
    // buffering of standard output.
    std::fflush(stdout);
    if (buffer == nullptr || length <= MOVE_TEXT_BYTES)
        return -1;
    std::memset(buffer, 0, static_cast<size_t>(length));
    ssize_t count;
    do
        count = recv(sock, buffer, MOVE_TEXT_BYTES, 0);
    while (count < 0 && errno == EINTR);
    if (count < 0) {
        /* Translators: the start of a line on standard error, followed by ": " and the system's reason. */
        std::perror(_("Erreur réception coup"));
        return -1;
    }
    std::printf("Coup reçu: %s\n", buffer);
    return static_cast<int>(count);
}

int recv_coords(int sock, char* buffer, int length)
{
    return recv_move(sock, buffer, length);
}

// ---------------------------------------------------------------------------
// Echo loops

// Sends back every text the peer sends, padded with zero bytes when fewer
// than four came, until the peer goes or a send fails.
static void echo_moves(int peer)
{
    char buffer[ECHO_BUFFER_BYTES];
    for (;;) {
        if (recv_move(peer, buffer, ECHO_BUFFER_BYTES) <= 0) {
            std::printf("[DEBUG][NETWORK] Client disconnected\n");
            return;
        }
        std::printf("[DEBUG][NETWORK] Received move: %s\n", buffer);
        if (send_move(peer, buffer) < 0) {
            std::printf("[ERROR] Failed to send move\n");
            return;
        }
    }
}

int run_server(uint16_t port)
{
    std::printf("[DEBUG][NETWORK] Starting server on port %d\n", port);
    const int listen_fd = start_server(port);
    if (listen_fd == -1) {
        std::printf("[ERROR] Failed to start server\n");
        return -1;
    }
    std::printf("[DEBUG][NETWORK] Server listening on port %d\n", port);
    std::fflush(stdout); // before the wait for a peer
    int peer = -1;
    if (wait_for_client(listen_fd, &peer) < 0) {
        std::printf("[ERROR] Failed to accept client\n");
        close(listen_fd);
        return -1;
    }
    std::printf("[DEBUG][NETWORK] Client connected\n");
    echo_moves(peer);
    close(peer);
    close(listen_fd);
    return 0;
}

// Sends the buffer, waits for its echo, which becomes the next text sent.
static void exchange_echoes(int sock, char* buffer)
{
    for (;;) {
        if (send_move(sock, buffer) < 0) {
            std::printf("[ERROR] Failed to send move\n");
            return;
        }
        std::printf("[DEBUG][NETWORK] Sent move: %s\n", buffer);
        if (recv_move(sock, buffer, ECHO_BUFFER_BYTES) <= 0) {
            std::printf("[DEBUG][NETWORK] Server disconnected\n");
            return;
        }
        std::printf("[DEBUG][NETWORK] Received echo: %s\n", buffer);
        std::fflush(stdout); // before the pause
        sleep(ECHO_PAUSE_S);
    }
}

int run_client(const char* address, uint16_t port)
{
    std::printf("[DEBUG][NETWORK] Starting client to %s:%d\n", address, port);
    const int sock = connect_to(address, port);
    if (sock == -1) {
        std::printf("[ERROR] Failed to connect to server\n");
        return -1;
    }
    std::printf("[DEBUG][NETWORK] Connected to server\n");
    char buffer[ECHO_BUFFER_BYTES] = {};
    std::memcpy(buffer, ECHO_TEST_MOVE, MOVE_TEXT_BYTES);
    exchange_echoes(sock, buffer);
    close(sock);
    return 0;
}
