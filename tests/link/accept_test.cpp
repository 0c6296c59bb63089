// Setting the link up in each networked mode, and the server taking its peer
// on a poll or on a send.
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "link_support.hpp"

using LinkServerAccept = CleanLink;
using LinkClientSetUp = CleanLink;

static bool is_non_blocking(int fd)
{
    return (fcntl(fd, F_GETFL) & O_NONBLOCK) != 0;
}

static std::string port_text(uint16_t port)
{
    return std::to_string(port);
}

TEST_F(LinkServerAccept, SetUpListensWithoutWaitingForAPeer)
{
    const uint16_t port = unused_port();
    Printed printed;
    EXPECT_EQ(capture(printed, [port] { return network_init_server(port); }), 0);
    EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Initializing server on port " + port_text(port) +
                               "\n[DEBUG][NETWORK] Server listening on port " + port_text(port) + " (non-blocking)\n");
    EXPECT_EQ(local_port(network_socket), port);
    EXPECT_TRUE(is_non_blocking(network_socket));
    EXPECT_EQ(is_server, 1);
    EXPECT_EQ(is_connected, 0);
    EXPECT_EQ(client_socket, -1);
}

TEST_F(LinkServerAccept, PollWithNoPeerWaitingSaysNothing)
{
    start_link_server();
    Printed printed;
    EXPECT_EQ(capture(printed, [] { return network_check_move(nullptr, nullptr, nullptr, nullptr); }), 0);
    EXPECT_EQ(printed.out, "");
    EXPECT_EQ(client_socket, -1);
    EXPECT_EQ(is_connected, 0);
}

TEST_F(LinkServerAccept, PollAcceptsAWaitingPeerWhichIsReadOnTheNextPoll)
{
    const int peer = connect_loopback(start_link_server());
    ASSERT_TRUE(send_bytes(peer, "E7E4"));
    int from_row = -1, from_col = -1, to_row = -1, to_col = -1;
    Printed printed;
    EXPECT_EQ(capture(printed, [&] { return poll_link_when_ready(&from_row, &from_col, &to_row, &to_col); }), 0);
    EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Client connected!\n");
    EXPECT_EQ(from_row, -1);
    EXPECT_EQ(is_connected, 1);
    ASSERT_GE(client_socket, 0);
    EXPECT_TRUE(is_non_blocking(client_socket));

    EXPECT_EQ(capture(printed, [&] { return poll_link_when_ready(&from_row, &from_col, &to_row, &to_col); }), 1);
    EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Received move: E7E4\n");
    close(peer);
}

TEST_F(LinkServerAccept, SendAcceptsAWaitingPeerAndSendsInTheSameCall)
{
    const int peer = connect_loopback(start_link_server());
    ASSERT_TRUE(wait_readable(network_socket));
    Printed printed;
    EXPECT_EQ(capture(printed, [] { return network_send_move_async(2, 4, 5, 4); }), 1);
    EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Client connected!\n"
                           "\nEnvoi du coup: E7E4\n"
                           "[DEBUG][NETWORK] Sent move: E7E4\n");
    EXPECT_EQ(printed.err, "");
    EXPECT_EQ(read_bytes(peer, 4), "E7E4");
    close(peer);
}

TEST_F(LinkServerAccept, AMoveMadeWithNoPeerIsNotKeptForALaterOne)
{
    const uint16_t port = start_link_server();
    Printed printed;
    EXPECT_EQ(capture(printed, [] { return network_send_move_async(2, 4, 5, 4); }), 0);
    EXPECT_EQ(printed.out, "");

    const int peer = connect_loopback(port);
    EXPECT_EQ(poll_link_when_ready(), 0);
    EXPECT_EQ(is_connected, 1);
    EXPECT_EQ(read_bytes(peer, 4, 200), "");
    close(peer);
}

TEST_F(LinkClientSetUp, ConnectsAtOnceAndPrintsTheAddressAndPort)
{
    uint16_t port = 0;
    const int listener = listen_loopback(&port);
    Printed printed;
    EXPECT_EQ(capture(printed, [port] { return network_init_client("127.0.0.1", port); }), 0);
    EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Initializing client to 127.0.0.1:" + port_text(port) +
                               "\n[DEBUG][NETWORK] Connected to server (non-blocking)\n");
    EXPECT_EQ(is_connected, 1);
    EXPECT_EQ(is_server, 0);
    EXPECT_EQ(client_socket, -1);
    ASSERT_GE(network_socket, 0);
    EXPECT_TRUE(is_non_blocking(network_socket));
    close(listener);
}

TEST_F(LinkClientSetUp, MovesTravelBothWays)
{
    uint16_t port = 0;
    const int listener = listen_loopback(&port);
    const int server_end = start_link_client(listener, port);
    ASSERT_GE(server_end, 0);

    Printed printed;
    EXPECT_EQ(capture(printed, [] { return network_send_move_async(8, 0, 7, 1); }), 1);
    EXPECT_EQ(printed.out, "\nEnvoi du coup: A1B2\n[DEBUG][NETWORK] Sent move: A1B2\n");
    EXPECT_EQ(read_bytes(server_end, 4), "A1B2");

    ASSERT_TRUE(send_bytes(server_end, "E7E4"));
    int from_row, from_col, to_row, to_col;
    EXPECT_EQ(capture(printed, [&] { return poll_link_when_ready(&from_row, &from_col, &to_row, &to_col); }), 1);
    EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Received move: E7E4\n");
    EXPECT_EQ(from_row, 2);
    EXPECT_EQ(from_col, 4);
    EXPECT_EQ(to_row, 5);
    EXPECT_EQ(to_col, 4);
    close(server_end);
    close(listener);
}
