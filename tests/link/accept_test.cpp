// Setting the link up in each networked mode, and the server taking its peer
// on a poll or on a send.
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "legal_moves.hpp"
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

// Moves applied with the turn passed, as the game applies them; their [LOG]
// lines are left out.
static void play(const std::vector<Move>& moves)
{
    Printed printed;
    capture(printed, [&moves] {
        for (const Move& m : moves)
            EXPECT_EQ(play_and_pass(m), 1);
        return 0;
    });
}
static const Move C7C5 = {2, 2, 4, 2}, G3G4 = {6, 6, 5, 6};

// The last move, applied just before the send that takes the peer, reaches
// it once, after the earlier ones, with the lines of a move sent.
TEST_F(LinkServerAccept, SendAcceptsAWaitingPeerWhichGetsEveryMoveOnceInOrder)
{
    const int peer = connect_loopback(start_link_server());
    play({C7C5, G3G4});
    ASSERT_TRUE(wait_readable(network_socket));
    Printed printed;
    EXPECT_EQ(capture(printed, [] { return network_send_move_async(6, 6, 5, 6); }), 1);
    EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Client connected!\n"
                           "[DEBUG][NETWORK] Replayed move: C7C5\n"
                           "\nEnvoi du coup: G3G4\n"
                           "[DEBUG][NETWORK] Sent move: G3G4\n");
    EXPECT_EQ(printed.err, "");
    EXPECT_EQ(read_bytes(peer, 16, 200), "C7C5G3G4");
    close(peer);
}

TEST_F(LinkServerAccept, MovesAppliedWithNoPeerReachTheNextPeerFirst)
{
    const uint16_t port = start_link_server();
    play({C7C5, G3G4});
    Printed printed;
    EXPECT_EQ(capture(printed, [] { return network_send_move_async(6, 6, 5, 6); }), 0);
    EXPECT_EQ(printed.out, "");

    const int peer = connect_loopback(port);
    EXPECT_EQ(capture(printed, [] { return poll_link_when_ready(); }), 0);
    EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Client connected!\n[DEBUG][NETWORK] Replayed move: C7C5\n"
                           "[DEBUG][NETWORK] Replayed move: G3G4\n");
    EXPECT_EQ(is_connected, 1);
    EXPECT_EQ(read_bytes(peer, 16, 200), "C7C5G3G4");
    close(peer);
}

// Past the end of a game a peer's moves are still applied; beyond the 64 the
// history keeps, a peer who joins gets those 64, then the move being sent.
TEST_F(LinkServerAccept, AMovePastAFullHistoryFollowsTheMovesKept)
{
    const int peer = connect_loopback(start_link_server());
    // Blue's soldier B6 to B5 and back, Red's H4 to H5 and back: no capture.
    const struct {
        Move move;
        const char* text;
    } cycle[] = {{{3, 1, 4, 1}, "B6B5"}, {{5, 7, 4, 7}, "H4H5"}, {{4, 1, 3, 1}, "B5B6"}, {{4, 7, 5, 7}, "H5H4"}};
    std::string texts;
    for (int i = 0; i <= MOVE_HISTORY_SIZE; ++i) {
        play({cycle[i % 4].move});
        texts += cycle[i % 4].text;
    }
    ASSERT_TRUE(wait_readable(network_socket));
    Printed printed;
    EXPECT_EQ(capture(printed, [] { return network_send_move_async(3, 1, 4, 1); }), 1);
    EXPECT_NE(printed.out.find("Replayed move: H5H4\n\nEnvoi du coup: B6B5\n"), std::string::npos) << printed.out;
    EXPECT_EQ(read_bytes(peer, texts.size() + 4, 200), texts);
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
