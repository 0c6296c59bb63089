// Two real instances on loopback, a server and a client, each in its window:
// a move pressed in either window is applied in both, with the link's lines
// on both sides; a client that joins mid-game plays the server's game.
//
// With no window manager both windows open at (0, 0); the client's is moved
// to the bottom of the screen, where it hides only the last two rows of the
// server's board.
#include "fixture.hpp"

class NetworkPlay : public ServerProgramTest
{
  protected:
    // Starts a client of the server, waits for the server to accept it and
    // puts its window at the bottom of the screen.
    Program* start_client(GameWindow& w, int accepted)
    {
        Program& client = start_program({"-c", "127.0.0.1:" + std::to_string(port)});
        EXPECT_TRUE(wait_line(client, "[DEBUG][NETWORK] Connected to server (non-blocking)"))
            << client.out << client.err;
        EXPECT_TRUE(wait_line(*server, "[DEBUG][NETWORK] Client connected!", LINE_WAIT_MS, accepted)) << server->out;
        place_client_window(client, w);
        return &client;
    }

    void place_client_window(Program& client, GameWindow& w)
    {
        w.id = find_game_window(client);
        EXPECT_NE(w.id, "") << client.out << client.err;
        Image screen;
        EXPECT_TRUE(take_screenshot(screen));
        const Rect r = window_rect(w.id);
        EXPECT_TRUE(move_window(w.id, 0, screen.height - r.height));
        EXPECT_TRUE(raise_window(w.id));
        EXPECT_TRUE(locate_board(w));
    }
};

static void expect_piece_at(const GameWindow& w, int row, int col, Rgb disc, const char* which)
{
    Image image;
    EXPECT_TRUE(wait_board_pixel(image, w, square_centre_px(col), square_centre_px(row), disc))
        << which << ": no disc at (" << row << "," << col << "), found "
        << describe(board_pixel(image, w, square_centre_px(col), square_centre_px(row)));
}

// Both windows show the same labels and the same board: compares the part
// of the server's window that the client's leaves visible.
static void expect_same_view(const GameWindow& server_window, const GameWindow& client_window)
{
    Image screen;
    ASSERT_TRUE(take_screenshot(screen));
    const Rect s = window_rect(server_window.id), c = window_rect(client_window.id);
    ASSERT_EQ(s.width, c.width);
    int differing = 0;
    for (int y = 0; y < c.y - s.y; ++y)
        for (int x = 0; x < s.width; ++x)
            differing += !near(pixel(screen, s.x + x, s.y + y), pixel(screen, c.x + x, c.y + y), 0);
    EXPECT_EQ(differing, 0);
}

TEST_F(NetworkPlay, MovesPressedInEitherWindowAreAppliedInBoth)
{
    GameWindow client_window;
    Program& client = *start_client(client_window, 1);

    // Blue's move, pressed on the server
    ASSERT_TRUE(press_square(server_window, 2, 2));
    ASSERT_TRUE(press_square(server_window, 4, 2));
    EXPECT_TRUE(wait_line(*server, "[DEBUG][NETWORK] Sent move: C7C5")) << server->out;
    EXPECT_TRUE(has_run_of_lines(*server, {"[LOG] Bleu déplace Soldat de (2,2) vers (4,2)", "", "Envoi du coup: C7C5",
                                           "[DEBUG][NETWORK] Sent move: C7C5"}))
        << server->out;
    EXPECT_TRUE(wait_line(client, "[LOG] Bleu déplace Soldat de (2,2) vers (4,2)")) << client.out;
    EXPECT_TRUE(has_run_of_lines(client, {"[DEBUG][NETWORK] Received move: C7C5",
                                          "[DEBUG][GUI] Applying received move: (2,2) -> (4,2)",
                                          "[LOG] Bleu déplace Soldat de (2,2) vers (4,2)"}))
        << client.out;

    // Red's move, pressed on the client
    ASSERT_TRUE(press_square(client_window, 6, 6));
    ASSERT_TRUE(press_square(client_window, 4, 6));
    EXPECT_TRUE(wait_line(client, "[DEBUG][NETWORK] Sent move: G3G5")) << client.out;
    EXPECT_TRUE(wait_line(*server, "[LOG] Rouge déplace Soldat de (6,6) vers (4,6)")) << server->out;
    EXPECT_TRUE(has_run_of_lines(*server, {"[DEBUG][NETWORK] Received move: G3G5",
                                           "[DEBUG][GUI] Applying received move: (6,6) -> (4,6)",
                                           "[LOG] Rouge déplace Soldat de (6,6) vers (4,6)"}))
        << server->out;
    EXPECT_EQ(count_line(*server, "[LOG] Rouge déplace Soldat de (6,6) vers (4,6)"), 1);
    EXPECT_EQ(count_line(client, "[LOG] Rouge déplace Soldat de (6,6) vers (4,6)"), 1);

    for (const GameWindow* w : {&server_window, &client_window}) {
        expect_piece_at(*w, 4, 2, BLUE_DISC, w == &server_window ? "server" : "client");
        expect_piece_at(*w, 4, 6, RED_DISC, w == &server_window ? "server" : "client");
    }

    expect_same_view(server_window, client_window);

    expect_clean_close(client, client_window.id);
    expect_clean_close(*server, server_window.id);
}

// A peer plays two moves and leaves; a client that joins then is sent them
// and plays the server's game, and so is the peer that joins after it.
TEST_F(NetworkPlay, APeerWhoJoinsMidGamePlaysTheServersGame)
{
    const int first = connect_loopback(port);
    ASSERT_TRUE(send_bytes(first, "C7C5G3G4"));
    ASSERT_TRUE(wait_line(*server, "[LOG] Rouge déplace Soldat de (6,6) vers (5,6)")) << server->out;
    close(first);
    ASSERT_TRUE(wait_line(*server, "[DEBUG][NETWORK] Connection closed")) << server->out;

    Program& client = start_program({"-c", "127.0.0.1:" + std::to_string(port)});
    const std::vector<std::string> moves = {"[LOG] Bleu déplace Soldat de (2,2) vers (4,2)",
                                            "[LOG] Rouge déplace Soldat de (6,6) vers (5,6)"};
    EXPECT_TRUE(wait_line(client, moves[1], 5000)) << client.out << client.err;
    EXPECT_EQ(out_lines_starting(client, "[LOG]"), moves);
    GameWindow client_window;
    place_client_window(client, client_window);
    EXPECT_TRUE(wait_line(*server, "[DEBUG][NETWORK] Replayed move: G3G4")) << server->out;
    EXPECT_TRUE(has_run_of_lines(*server, {"[DEBUG][NETWORK] Client connected!", "[DEBUG][NETWORK] Replayed move: C7C5",
                                           "[DEBUG][NETWORK] Replayed move: G3G4"}))
        << server->out;
    expect_piece_at(client_window, 5, 6, RED_DISC, "client");
    expect_same_view(server_window, client_window);
    expect_clean_close(client, client_window.id);

    const int last = connect_loopback(port);
    EXPECT_EQ(read_bytes(last, 8, LINE_WAIT_MS), "C7C5G3G4");
    EXPECT_EQ(read_bytes(last, 4, QUIET_MS), "");
    ASSERT_TRUE(send_bytes(last, "C5C6"));
    EXPECT_TRUE(wait_line(*server, "[LOG] Bleu déplace Soldat de (4,2) vers (3,2)")) << server->out;
    close(last);
    expect_clean_close(*server, server_window.id);
}

TEST_F(NetworkPlay, ClientPlaysOnAloneAfterTheServerLeaves)
{
    GameWindow client_window;
    Program& client = *start_client(client_window, 1);
    expect_clean_close(*server, server_window.id);
    EXPECT_TRUE(wait_line(client, "[DEBUG][NETWORK] Connection closed")) << client.out;

    ASSERT_TRUE(press_square(client_window, 2, 2));
    ASSERT_TRUE(press_square(client_window, 4, 2));
    EXPECT_TRUE(wait_line(client, "[LOG] Bleu déplace Soldat de (2,2) vers (4,2)")) << client.out;
    read_output_for(client, QUIET_MS);
    EXPECT_TRUE(out_lines_starting(client, "[DEBUG][NETWORK] Sent move").empty()) << client.out;
    EXPECT_TRUE(out_lines_starting(client, "[ERROR]").empty()) << client.out;
    EXPECT_EQ(window_name(client_window.id), "Tavelorn - Client");
    expect_clean_close(client, client_window.id);
}
