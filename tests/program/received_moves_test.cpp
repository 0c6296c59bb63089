// Moves that reach a real server instance from a peer that is a plain socket
// of the test: refused texts are dropped without passing the turn, a
// selection made on the board outlives received moves, a move made before
// any peer was there reaches the first one, and a peer that floods the server
// freezes neither its window nor its link.
#include <sys/socket.h>
#include <unistd.h>

#include "fixture.hpp"

class ReceivedMoves : public ServerProgramTest
{
  protected:
    void TearDown() override
    {
        if (peer >= 0)
            close(peer);
        ServerProgramTest::TearDown();
    }

    void connect_peer(int accepted = 1)
    {
        ASSERT_GE(peer = connect_loopback(port, LINE_WAIT_MS), 0);
        ASSERT_TRUE(wait_line(*server, "[DEBUG][NETWORK] Client connected!", LINE_WAIT_MS, accepted)) << server->out;
    }

    int peer = -1;
    GameWindow& w = server_window;
};

TEST_F(ReceivedMoves, RefusedTextsAreDroppedAndTheTurnStays)
{
    connect_peer();
    ASSERT_TRUE(send_bytes(peer, "a9a9")); // lower-case letters: column 32
    ASSERT_TRUE(send_bytes(peer, "G3G5")); // Red's soldier while Blue is to move
    ASSERT_TRUE(send_bytes(peer, "C7C5"));
    ASSERT_TRUE(wait_line(*server, "[LOG] Bleu déplace Soldat de (2,2) vers (4,2)")) << server->out;
    EXPECT_EQ(count_line(*server, "[DEBUG][NETWORK] Received move: a9a9"), 1);
    EXPECT_EQ(count_line(*server, "[DEBUG][GUI] Applying received move: (0,32) -> (0,32)"), 1);
    EXPECT_EQ(count_line(*server, "[DEBUG][GUI] Applying received move: (6,6) -> (4,6)"), 1);
    EXPECT_EQ(out_lines_starting(*server, "[LOG]").size(), 1u) << server->out;
    Image image;
    EXPECT_TRUE(wait_board_pixel(image, w, square_centre_px(2), square_centre_px(4), BLUE_DISC));
    expect_board_colour(image, w, square_centre_px(6), square_centre_px(6), RED_DISC, "Red's soldier unmoved");
    expect_clean_close(*server, w.id);
}

TEST_F(ReceivedMoves, SelectionMadeOnTheBoardOutlivesReceivedMoves)
{
    connect_peer();
    ASSERT_TRUE(press_square(w, 2, 2));
    read_output_for(*server, QUIET_MS);
    ASSERT_TRUE(send_bytes(peer, "B6B5")); // Blue (3,1) -> (4,1)
    ASSERT_TRUE(send_bytes(peer, "G3G5")); // Red (6,6) -> (4,6)
    ASSERT_TRUE(wait_line(*server, "[LOG] Rouge déplace Soldat de (6,6) vers (4,6)")) << server->out;

    // Blue is to move again and (2,2) is still selected: one press moves it.
    ASSERT_TRUE(press_square(w, 4, 2));
    EXPECT_TRUE(wait_line(*server, "[LOG] Bleu déplace Soldat de (2,2) vers (4,2)")) << server->out;
    EXPECT_TRUE(wait_line(*server, "[DEBUG][NETWORK] Sent move: C7C5")) << server->out;
    EXPECT_EQ(read_bytes(peer, 4, LINE_WAIT_MS), "C7C5");
    expect_clean_close(*server, w.id);
}

TEST_F(ReceivedMoves, MoveMadeBeforeAnyPeerReachesTheFirstOne)
{
    // C7 taken up and put down on C5, the squares reached by their names.
    ASSERT_TRUE(press_keys(w, {"c", "7", "space", "c", "5", "space"}));
    ASSERT_TRUE(wait_line(*server, "[LOG] Bleu déplace Soldat de (2,2) vers (4,2)")) << server->out;
    connect_peer();
    EXPECT_EQ(read_bytes(peer, 4, LINE_WAIT_MS), "C7C5");
    EXPECT_EQ(read_bytes(peer, 4, QUIET_MS), "");
    EXPECT_TRUE(out_lines_starting(*server, "[DEBUG][NETWORK] Sent move").empty()) << server->out;

    // The next move is sent, from the game as it stands: Red's turn.
    ASSERT_TRUE(press_square(w, 6, 6));
    ASSERT_TRUE(press_square(w, 4, 6));
    EXPECT_TRUE(wait_line(*server, "[DEBUG][NETWORK] Sent move: G3G5")) << server->out;
    EXPECT_EQ(read_bytes(peer, 4, LINE_WAIT_MS), "G3G5");
    expect_clean_close(*server, w.id);
}

// The peer sends a refused text as fast as the connection takes it: the
// user's move still shows on the board about as soon as with a quiet peer,
// once the flood ends every text has been handled once, whole and in order,
// with the legal text sent last applied; and closing the window during a
// flood ends the program.
TEST_F(ReceivedMoves, AFloodingPeerNeitherFreezesTheWindowNorLosesTexts)
{
    constexpr int SHOWN_WITHIN_MS = 3000;  // with a quiet peer: about 0.2 s
    constexpr int BACKLOG_WAIT_MS = 60000; // with the buffer below: well under 1 s
    connect_peer();
    // A small send buffer keeps the backlog left at the end of the flood short.
    const int buffer_bytes = 64 * 1024;
    setsockopt(peer, SOL_SOCKET, SO_SNDBUF, &buffer_bytes, sizeof buffer_bytes);
    FloodingPeer flood;
    start_flood(flood, *server, peer, "A1A1");
    ASSERT_TRUE(press_square(w, 2, 2));
    ASSERT_TRUE(press_square(w, 4, 2));
    Image image;
    EXPECT_TRUE(wait_board_pixel(image, w, square_centre_px(2), square_centre_px(4), BLUE_DISC, SHOWN_WITHIN_MS))
        << describe(board_pixel(image, w, square_centre_px(2), square_centre_px(4)));

    const long long sent = end_flood(flood);
    ASSERT_GT(sent, 0);
    ASSERT_TRUE(send_bytes(peer, "G3G5"));
    EXPECT_TRUE(wait_kept_line(flood, "[LOG] Rouge déplace Soldat de (6,6) vers (4,6)", BACKLOG_WAIT_MS));
    stop_reading(flood);
    EXPECT_EQ(flood.texts_received, sent);
    EXPECT_EQ(flood.texts_applied, sent);
    EXPECT_TRUE(
        has_run_of_lines(*server, {"[LOG] Bleu déplace Soldat de (2,2) vers (4,2)", "", "Envoi du coup: C7C5"}));
    EXPECT_EQ(out_lines_starting(*server, "[DEBUG][NETWORK] Received move").size(), 1u) << server->out;

    // Closed during a flood, the window takes the program with it.
    start_flood(flood, *server, peer, "A1A1");
    ASSERT_TRUE(close_window(w.id));
    EXPECT_TRUE(wait_kept_line(flood, LAST_LINE_OK, EXIT_WAIT_MS));
    stop_reading(flood);
    expect_clean_end(*server, wait_exit(*server));
}
