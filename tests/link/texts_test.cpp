// Move texts as the peer's bytes arrive: whole, in pieces with pauses
// between them, or several at once, and a split move played by the game.
#include <string>
#include <thread>

#include <unistd.h>

#include "app.hpp"
#include "gui.hpp"
#include "link_support.hpp"

using LinkWholeTexts = CleanLink;
using LinkSplitTexts = CleanLink;
using LinkSeveralTexts = CleanLink;

constexpr auto PAUSE = std::chrono::milliseconds(30);

struct Received {
    int result;
    int from_row = -7, from_col = -7, to_row = -7, to_col = -7;
    std::string out;
};

// One poll of the link, at once or once the peer's bytes are there.
static Received poll_received(bool wait_for_bytes)
{
    Received received{};
    Printed printed;
    received.result = capture(printed, [&] {
        if (wait_for_bytes)
            return poll_link_when_ready(&received.from_row, &received.from_col, &received.to_row, &received.to_col);
        return network_check_move(&received.from_row, &received.from_col, &received.to_row, &received.to_col);
    });
    received.out = printed.out;
    return received;
}

static Received poll_after_bytes()
{
    return poll_received(true);
}
static Received poll_now()
{
    return poll_received(false);
}

// `text` as the link prints it.
static void expect_move(const Received& received, const std::string& text, int from_row, int from_col, int to_row,
                        int to_col)
{
    EXPECT_EQ(received.result, 1) << text;
    EXPECT_EQ(received.out, "[DEBUG][NETWORK] Received move: " + text + "\n");
    EXPECT_EQ(received.from_row, from_row) << text;
    EXPECT_EQ(received.from_col, from_col) << text;
    EXPECT_EQ(received.to_row, to_row) << text;
    EXPECT_EQ(received.to_col, to_col) << text;
}

// Nothing to report: no output, and the out-parameters left as they were.
static void expect_nothing(const Received& received)
{
    EXPECT_EQ(received.result, 0);
    EXPECT_EQ(received.out, "");
    EXPECT_EQ(received.from_row, -7);
    EXPECT_EQ(received.to_col, -7);
}

TEST_F(LinkWholeTexts, EachTextIsDecodedWithNoRangeTest)
{
    const int peer = link_server_with_peer();
    ASSERT_TRUE(send_bytes(peer, "E7E4"));
    expect_move(poll_after_bytes(), "E7E4", 2, 4, 5, 4);
    ASSERT_TRUE(send_bytes(peer, "A1B2"));
    expect_move(poll_after_bytes(), "A1B2", 8, 0, 7, 1);
    ASSERT_TRUE(send_bytes(peer, "a9a9"));
    expect_move(poll_after_bytes(), "a9a9", 0, 32, 0, 32);
    close(peer);
}

// A byte that is not printable ASCII reaches the terminal as \xNN: neither a
// control sequence nor a zero byte cutting the line comes through.
TEST_F(LinkWholeTexts, BytesThatAreNotPrintableArePrintedAsHexEscapes)
{
    const int peer = link_server_with_peer();
    ASSERT_TRUE(send_bytes(peer, "\x80"
                                 "9A9"));
    expect_move(poll_after_bytes(), "\\x809A9", 0, -128 - 'A', 0, 0);
    ASSERT_TRUE(send_bytes(peer, "\x1b[2J"));
    expect_move(poll_after_bytes(), "\\x1b[2J", '9' - '[', 0x1b - 'A', '9' - 'J', '2' - 'A');
    ASSERT_TRUE(send_bytes(peer, std::string("A\0B2", 4)));
    expect_move(poll_after_bytes(), "A\\x00B2", '9', 0, 7, 1);
    close(peer);
}

TEST_F(LinkWholeTexts, PollWithNoBytesWaitingReportsNothing)
{
    const int peer = link_server_with_peer();
    int from_row = -7, from_col = -7, to_row = -7, to_col = -7;
    Printed printed;
    EXPECT_EQ(capture(printed, [&] { return network_check_move(&from_row, &from_col, &to_row, &to_col); }), 0);
    EXPECT_EQ(printed.out, "");
    EXPECT_EQ(from_row, -7);
    EXPECT_EQ(is_connected, 1);
    close(peer);
}

TEST_F(LinkSplitTexts, ATextSentByteByByteWithPausesIsReadOnceWhole)
{
    const int peer = link_server_with_peer();
    for (const char byte : std::string("C7C")) {
        ASSERT_TRUE(send_bytes(peer, std::string(1, byte)));
        expect_nothing(poll_after_bytes());
        std::this_thread::sleep_for(PAUSE);
        expect_nothing(poll_now()); // nothing new arrived meanwhile
    }
    ASSERT_TRUE(send_bytes(peer, "5"));
    expect_move(poll_after_bytes(), "C7C5", 2, 2, 4, 2);
    expect_nothing(poll_now());
    EXPECT_EQ(is_connected, 1);
    close(peer);
}

TEST_F(LinkSplitTexts, PiecesThatStraddleTwoTextsGiveBothTextsInOrder)
{
    const int peer = link_server_with_peer();
    ASSERT_TRUE(send_bytes(peer, "E7"));
    expect_nothing(poll_after_bytes());
    ASSERT_TRUE(send_bytes(peer, "E4A1"));
    expect_move(poll_after_bytes(), "E7E4", 2, 4, 5, 4);
    expect_nothing(poll_after_bytes());
    ASSERT_TRUE(send_bytes(peer, "B2"));
    expect_move(poll_after_bytes(), "A1B2", 8, 0, 7, 1);
    close(peer);
}

TEST_F(LinkSplitTexts, TheClientCompletesASplitTextToo)
{
    uint16_t port = 0;
    const int listener = listen_loopback(&port);
    const int server_end = start_link_client(listener, port);
    ASSERT_TRUE(send_bytes(server_end, "A"));
    expect_nothing(poll_after_bytes());
    ASSERT_TRUE(send_bytes(server_end, "1B"));
    expect_nothing(poll_after_bytes());
    ASSERT_TRUE(send_bytes(server_end, "2"));
    expect_move(poll_after_bytes(), "A1B2", 8, 0, 7, 1);
    close(server_end);
    close(listener);
}

TEST_F(LinkSplitTexts, BytesKeptFromALostPeerAreNotMixedIntoTheNextPeersText)
{
    const int first = link_server_with_peer();
    ASSERT_TRUE(send_bytes(first, "E7"));
    expect_nothing(poll_after_bytes());
    close(first);
    EXPECT_EQ(poll_after_bytes().result, -1);

    const int second = connect_loopback(local_port(network_socket));
    EXPECT_EQ(poll_after_bytes().out, "[DEBUG][NETWORK] Client connected!\n");
    ASSERT_TRUE(send_bytes(second, "A1B2"));
    expect_move(poll_after_bytes(), "A1B2", 8, 0, 7, 1);
    close(second);
}

TEST_F(LinkSplitTexts, TheGameAppliesAMoveSentByteByByteOnce)
{
    new_game_setup();
    const int peer = link_server_with_peer();
    Printed printed;
    for (const char byte : std::string("C7C5")) {
        ASSERT_TRUE(send_bytes(peer, std::string(1, byte)));
        ASSERT_TRUE(wait_readable(client_socket));
        capture(printed, [] { return check_network_moves(nullptr); });
        if (byte != '5')
            EXPECT_EQ(printed.out, "") << byte;
        else
            EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Received move: C7C5\n"
                                   "[DEBUG][GUI] Applying received move: (2,2) -> (4,2)\n"
                                   "[LOG] Bleu déplace Soldat de (2,2) vers (4,2)\n");
        std::this_thread::sleep_for(PAUSE);
    }
    capture(printed, [] { return check_network_moves(nullptr); });
    EXPECT_EQ(printed.out, "");
    EXPECT_EQ(board[2][2], CELL_EMPTY);
    EXPECT_EQ(board[4][2], CELL_BLUE_SOLDIER);
    EXPECT_EQ(turn_count, 2);
    EXPECT_EQ(current_player, PLAYER_RED);
    close(peer);
}

TEST_F(LinkSeveralTexts, TextsThatArriveTogetherComeOutOnePerPoll)
{
    const int peer = link_server_with_peer();
    ASSERT_TRUE(send_bytes(peer, "E7E4A1B2C7C5"));
    expect_move(poll_after_bytes(), "E7E4", 2, 4, 5, 4);
    expect_move(poll_after_bytes(), "A1B2", 8, 0, 7, 1);
    expect_move(poll_after_bytes(), "C7C5", 2, 2, 4, 2);
    expect_nothing(poll_now());
    close(peer);
}

TEST_F(LinkSeveralTexts, AWholeTextThenAPieceGiveTheTextAndKeepThePiece)
{
    const int peer = link_server_with_peer();
    ASSERT_TRUE(send_bytes(peer, "E7E4A1"));
    expect_move(poll_after_bytes(), "E7E4", 2, 4, 5, 4);
    expect_nothing(poll_after_bytes());
    ASSERT_TRUE(send_bytes(peer, "B2"));
    expect_move(poll_after_bytes(), "A1B2", 8, 0, 7, 1);
    close(peer);
}
