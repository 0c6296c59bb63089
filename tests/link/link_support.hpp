// Helpers for tests of the peer link: loopback sockets standing in for the
// other instance, bounded waits, what reaches standard output and error while
// the link runs, and the process's open descriptors.
#pragma once

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "network.hpp"

// Every wait in these tests ends by this long at most.
constexpr int WAIT_MS = 3000;

// What one call printed.
struct Printed {
    std::string out;
    std::string err;
};

// Runs `call` with standard output and error captured into `printed`.
template <typename Call> auto capture(Printed& printed, Call call)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    auto result = call();
    printed.out = testing::internal::GetCapturedStdout();
    printed.err = testing::internal::GetCapturedStderr();
    return result;
}

// A listening socket on 127.0.0.1 at a port the system chose.
int listen_loopback(uint16_t* port);
// A blocking socket connected to 127.0.0.1:port, or -1.
int connect_loopback(uint16_t port);
// The port a socket is bound to.
uint16_t local_port(int fd);
// A port nothing listens on right now.
uint16_t unused_port();

bool wait_readable(int fd, int ms = WAIT_MS);
// Accepts one peer on a blocking or non-blocking listening socket, or -1.
int accept_within(int listen_fd, int ms = WAIT_MS);
// Reads until `length` bytes came, the peer closed or the time ran out;
// returns the bytes read.
std::string read_bytes(int fd, int length, int ms = WAIT_MS);
void send_bytes(int fd, const std::string& bytes);
// Closes a socket so that its peer sees a reset rather than an end of stream.
void close_with_reset(int fd);

int count_open_fds();
bool fd_is_open(int fd);

// Waits for bytes or a connection on the link's own socket (the listening
// socket on a server with no peer), then polls the link once.
int poll_link_when_ready(int* from_row, int* from_col, int* to_row, int* to_col);
int poll_link_when_ready();

// A link set up as a server on a port the system chose; returns that port.
uint16_t start_link_server();
// A server link with one peer, accepted by a poll; returns the peer's end.
int link_server_with_peer();
// A link set up as a client of `listen_fd`; returns the server's end.
int start_link_client(int listen_fd, uint16_t port);

// The link's globals as they are with no link set up: no socket, no role,
// no peer.
void expect_nothing_set_up();

// Every test starts and ends with no link set up.
class CleanLink : public testing::Test
{
  protected:
    void SetUp() override { network_cleanup(); }
    void TearDown() override { network_cleanup(); }
};
