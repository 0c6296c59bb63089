// The end of a game on the real program: a server instance whose peer is a
// plain socket of the test, sending move texts for both sides until Blue
// takes Red's king. The alert appears, the board takes no more presses nor
// keys, and a move still received is applied and brings the alert up again.
#include <unistd.h>

#include <chrono>

#include "fixture.hpp"

// Waits until the program shows `count` windows (the game's and its alerts).
static bool wait_window_count(Program& p, size_t count, int timeout_ms = WINDOW_WAIT_MS)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < deadline) {
        read_output_for(p, 100);
        if (visible_windows(p).size() == count)
            return true;
    }
    return false;
}

// Red's soldiers leave row 7 to its king, which walks out to (7,2) while Blue
// marks time; Blue's soldier then runs down column C to (6,2) and takes the
// king in front of it, with nothing of Red's behind it on (8,2).
static const char* const KING_HUNT[][2] = {
    {"D9I9", "[LOG] Bleu déplace Soldat de (0,3) vers (0,8)"},
    {"F2A2", "[LOG] Rouge déplace Soldat de (7,5) vers (7,0)"},
    {"D8I8", "[LOG] Bleu déplace Soldat de (1,3) vers (1,8)"},
    {"G2B2", "[LOG] Rouge déplace Soldat de (7,6) vers (7,1)"},
    {"A6A5", "[LOG] Bleu déplace Soldat de (3,0) vers (4,0)"},
    {"H2C2", "[LOG] Rouge déplace Roi de (7,7) vers (7,2)"},
    {"C7C3", "[LOG] Bleu déplace Soldat de (2,2) vers (6,2)"},
};

// Dismisses the alerts one by one, as a modal one holds back the close
// requests of the windows under it, until only the game's window is left.
static void dismiss_alerts(Program& p, const std::string& game_window)
{
    for (size_t shown = visible_windows(p).size(); shown > 1; --shown) {
        for (const std::string& id : visible_windows(p))
            if (id != game_window && close_window(id) && wait_window_count(p, shown - 1, 2000))
                break;
        ASSERT_TRUE(wait_window_count(p, shown - 1, 2000)) << "an alert stays open";
    }
}

using EndOfGame = ProgramTest;

TEST_F(EndOfGame, BoardStopsButReceivedMovesStillApplyAndRaiseTheAlertAgain)
{
    Program* server = nullptr;
    const int port = start_server_program(server);
    ASSERT_GT(port, 0) << (server ? server->out + server->err : "");
    GameWindow w;
    ASSERT_TRUE(open_game_window(*server, w)) << server->out << server->err;
    const int peer = connect_loopback(port, LINE_WAIT_MS);
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(wait_line(*server, "[DEBUG][NETWORK] Client connected!")) << server->out;

    std::vector<std::string> logs;
    for (const auto& move : KING_HUNT) {
        ASSERT_TRUE(send_bytes(peer, move[0]));
        logs.push_back(move[1]);
    }
    ASSERT_TRUE(wait_line(*server, logs.back())) << server->out;
    EXPECT_EQ(out_lines_starting(*server, "[LOG]"), logs);
    ASSERT_TRUE(wait_window_count(*server, 2)) << "no alert; windows: " << visible_windows(*server).size();

    // The king's square is empty and unmarked; the capturing soldier stands above it.
    Image image;
    EXPECT_TRUE(wait_board_pixel(image, w, square_centre_px(2), square_centre_px(6), BLUE_DISC));
    expect_board_colour(image, w, square_centre_px(2), square_centre_px(7), BACKGROUND, "king's square");

    // While the alert is up it takes every press of the application; once it
    // is dismissed, the board itself refuses them: Red is to move, yet this
    // move of Red's is not made. A press that reached the game would also
    // bring the alert up again, and so would Space on a piece of Red's.
    dismiss_alerts(*server, w.id);
    ASSERT_TRUE(press_square(w, 5, 7));
    ASSERT_TRUE(press_square(w, 4, 7));
    read_output_for(*server, QUIET_MS);
    EXPECT_EQ(visible_windows(*server).size(), 1u) << "a press raised the alert again";
    ASSERT_TRUE(press_keys(w, {"h", "3", "space"}));
    read_output_for(*server, QUIET_MS);
    EXPECT_EQ(visible_windows(*server).size(), 1u) << "a key raised the alert again";

    // A move from the peer is still applied, and the alert shows again.
    ASSERT_TRUE(send_bytes(peer, "G3G5"));
    logs.push_back("[LOG] Rouge déplace Soldat de (6,6) vers (4,6)");
    ASSERT_TRUE(wait_line(*server, logs.back())) << server->out;
    EXPECT_EQ(count_line(*server, "[DEBUG][GUI] Applying received move: (6,6) -> (4,6)"), 1);
    EXPECT_TRUE(wait_window_count(*server, 2)) << "windows: " << visible_windows(*server).size();
    read_output_for(*server, QUIET_MS);
    EXPECT_EQ(out_lines_starting(*server, "[LOG]"), logs);
    EXPECT_TRUE(wait_board_pixel(image, w, square_centre_px(6), square_centre_px(4), RED_DISC));

    dismiss_alerts(*server, w.id);
    expect_clean_close(*server, w.id);
    close(peer);
}
