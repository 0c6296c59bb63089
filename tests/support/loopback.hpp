// Loopback sockets standing in for the other instance of the game, for tests
// and benchmarks: free ports, listeners on 127.0.0.1, connections to them,
// bounded reads and waits, and a close the peer sees as a reset.
#pragma once

#include <cstdint>
#include <string>

// How long the waits below last unless told otherwise.
constexpr int LOOPBACK_WAIT_MS = 3000;

// A listening socket on 127.0.0.1 at a port the system chose (stored in
// `port`), or -1. A game server asked for that port then finds it taken.
int listen_loopback(uint16_t* port);
// A port nothing listens on right now.
uint16_t unused_port();
// The port a socket is bound to, 0 when there is none.
uint16_t local_port(int fd);
// A blocking socket connected to 127.0.0.1:port (or [::1]:port with
// `ipv6`), or -1; tries again every 50 ms for up to `retry_ms` while nothing
// listens there yet.
int connect_loopback(uint16_t port, int retry_ms = 0, bool ipv6 = false);

bool wait_readable(int fd, int ms = LOOPBACK_WAIT_MS);
// Accepts one peer on a blocking or non-blocking listening socket, or -1.
int accept_within(int listen_fd, int ms = LOOPBACK_WAIT_MS);
// Reads until `length` bytes came, the peer closed or `ms` passed without a
// byte; returns the bytes read.
std::string read_bytes(int fd, size_t length, int ms = LOOPBACK_WAIT_MS);
// All of `bytes`, or false. A peer that has gone is a failure, not a signal.
[[nodiscard]] bool send_bytes(int fd, const std::string& bytes);
// Closes a socket so that its peer sees a reset rather than an end of stream.
void close_with_reset(int fd);
