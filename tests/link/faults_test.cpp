// Short sends and calls interrupted by a signal, which loopback sockets do
// not show on demand, injected into the link's socket calls.
#include <chrono>
#include <string>

#include <sys/socket.h>
#include <unistd.h>

#include "link_support.hpp"
#include "socket_faults.hpp"

class LinkFaults : public CleanLink
{
  protected:
    void TearDown() override
    {
        socket_faults = SocketFaults{};
        CleanLink::TearDown();
    }
};

using LinkShortSends = LinkFaults;
using LinkInterruptedCalls = LinkFaults;
using LinkWithoutIpv6 = LinkFaults;

TEST_F(LinkShortSends, TheRestOfAShortSendFollowsAndTheMoveIsSentOnce)
{
    const int peer = link_server_with_peer();
    socket_faults.fd = client_socket;
    socket_faults.send_byte_limit = 1;
    Printed printed;
    EXPECT_EQ(capture(printed, [] { return network_send_move_async(2, 4, 5, 4); }), 1);
    EXPECT_EQ(printed.out, "\nEnvoi du coup: E7E4\n[DEBUG][NETWORK] Sent move: E7E4\n");
    EXPECT_EQ(read_bytes(peer, 8, 200), "E7E4");
    EXPECT_EQ(is_connected, 1);
    close(peer);
}

TEST_F(LinkShortSends, AShortSendThatCannotFinishSoonIsAFailedSend)
{
    const int peer = link_server_with_peer();
    socket_faults.fd = client_socket;
    socket_faults.send_byte_limit = 2;
    socket_faults.sends_refused = 1 << 30;
    Printed printed;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(capture(printed, [] { return network_send_move_async(2, 4, 5, 4); }), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(printed.err, "Erreur envoi coup: Connection timed out\n");
    EXPECT_EQ(printed.out, "[ERROR] Failed to send move, disconnecting\n");
    EXPECT_EQ(is_connected, 0);
    EXPECT_EQ(client_socket, -1);
    EXPECT_EQ(read_bytes(peer, 8), "E7"); // then the end of the connection
    close(peer);
}

TEST_F(LinkShortSends, ASendThatTakesNothingFailsAtOnce)
{
    const int peer = link_server_with_peer();
    socket_faults.fd = client_socket;
    socket_faults.sends_refused = 1;
    Printed printed;
    EXPECT_EQ(capture(printed, [] { return network_send_move_async(2, 4, 5, 4); }), -1);
    EXPECT_EQ(printed.err, "Erreur envoi coup: Resource temporarily unavailable\n");
    EXPECT_EQ(printed.out, "[ERROR] Failed to send move, disconnecting\n");
    EXPECT_EQ(client_socket, -1);
    close(peer);
}

TEST_F(LinkShortSends, TheBlockingSendFinishesAShortSendToo)
{
    uint16_t port = 0;
    const int listener = listen_loopback(&port);
    const int near = connect_loopback(port);
    const int far = accept_within(listener);
    socket_faults.fd = near;
    socket_faults.send_byte_limit = 3;
    Printed printed;
    EXPECT_EQ(capture(printed, [near] { return send_move(near, "A1B2"); }), 0);
    EXPECT_EQ(read_bytes(far, 8, 200), "A1B2");
    close(near);
    close(far);
    close(listener);
}

TEST_F(LinkInterruptedCalls, AnInterruptedPollReportsNothingAndKeepsTheConnection)
{
    const int peer = link_server_with_peer();
    ASSERT_TRUE(send_bytes(peer, "E7E4"));
    socket_faults.fd = client_socket;
    socket_faults.recvs_interrupted = 1;
    Printed printed;
    EXPECT_EQ(capture(printed, [] { return poll_link_when_ready(); }), 0);
    EXPECT_EQ(printed.out + printed.err, "");
    EXPECT_EQ(is_connected, 1);
    EXPECT_EQ(capture(printed, [] { return poll_link_when_ready(); }), 1);
    EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Received move: E7E4\n");
    close(peer);
}

TEST_F(LinkInterruptedCalls, AnInterruptedPollKeepsThePieceOfATextAlreadyRead)
{
    const int peer = link_server_with_peer();
    ASSERT_TRUE(send_bytes(peer, "E7"));
    EXPECT_EQ(poll_link_when_ready(), 0);
    ASSERT_TRUE(send_bytes(peer, "E4"));
    socket_faults.fd = client_socket;
    socket_faults.recvs_interrupted = 1;
    EXPECT_EQ(poll_link_when_ready(), 0);
    int from_row, from_col, to_row, to_col;
    EXPECT_EQ(poll_link_when_ready(&from_row, &from_col, &to_row, &to_col), 1);
    EXPECT_EQ(from_row * 1000 + from_col * 100 + to_row * 10 + to_col, 2454);
    close(peer);
}

TEST_F(LinkInterruptedCalls, AnInterruptedSendIsMadeAgain)
{
    const int peer = link_server_with_peer();
    socket_faults.fd = client_socket;
    socket_faults.sends_interrupted = 1;
    Printed printed;
    EXPECT_EQ(capture(printed, [] { return network_send_move_async(2, 4, 5, 4); }), 1);
    EXPECT_EQ(printed.err, "");
    EXPECT_EQ(read_bytes(peer, 8, 200), "E7E4");
    close(peer);
}

// Where the system has no IPv6, the server listens on IPv4 as it always did,
// with the same lines and no word more.
TEST_F(LinkWithoutIpv6, TheServerListensOnIpv4AloneAndSaysNothingMore)
{
    socket_faults.family_missing = AF_INET6;
    Printed printed;
    ASSERT_EQ(capture(printed, [] { return network_init_server(0); }), 0);
    EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Initializing server on port 0\n"
                           "[DEBUG][NETWORK] Server listening on port 0 (non-blocking)\n");
    EXPECT_EQ(printed.err, "");
    sockaddr_storage bound;
    socklen_t length = sizeof bound;
    ASSERT_EQ(getsockname(network_socket, reinterpret_cast<sockaddr*>(&bound), &length), 0);
    EXPECT_EQ(bound.ss_family, AF_INET);
    const int peer = connect_loopback(local_port(network_socket));
    EXPECT_EQ(poll_link_when_ready(), 0);
    EXPECT_EQ(is_connected, 1);
    close(peer);
}
