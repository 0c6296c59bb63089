// Helpers for tests of the peer link, over the shared loopback sockets and
// output capture: the link set up as either end, bounded polls, and the
// process's open descriptors.
#pragma once

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "app.hpp"
#include "loopback.hpp"
#include "network.hpp"
#include "standard_output.hpp"

// Every wait in these tests ends by this long at most.
constexpr int WAIT_MS = LOOPBACK_WAIT_MS;

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

// Every test starts and ends with no link set up, and with a new game: no
// move in the history that a peer would be sent.
class CleanLink : public testing::Test
{
  protected:
    void SetUp() override
    {
        network_cleanup();
        new_game_setup();
    }
    void TearDown() override { network_cleanup(); }
};
