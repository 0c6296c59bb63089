// Two real instances on loopback, a server and a client, each in its window:
// a move pressed in either window is applied in both, with the link's lines
// on both sides; a client that leaves mid-game is replaced by a new one.
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
        w.id = find_game_window(client);
        EXPECT_NE(w.id, "") << client.out << client.err;
        Image screen;
        EXPECT_TRUE(take_screenshot(screen));
        const Rect r = window_rect(w.id);
        EXPECT_TRUE(move_window(w.id, 0, screen.height - r.height));
        EXPECT_TRUE(raise_window(w.id));
        EXPECT_TRUE(locate_board(w));
        return &client;
    }
};

static void expect_piece_at(const GameWindow& w, int row, int col, Rgb disc, const char* which)
{
    Image image;
    EXPECT_TRUE(wait_board_pixel(image, w, square_centre_px(col), square_centre_px(row), disc))
        << which << ": no disc at (" << row << "," << col << "), found "
        << describe(board_pixel(image, w, square_centre_px(col), square_centre_px(row)));
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

    // Both windows show the same labels and the same board: compare the part
    // of the server's window that the client's leaves visible.
    Image screen;
    ASSERT_TRUE(take_screenshot(screen));
    const Rect s = window_rect(server_window.id), c = window_rect(client_window.id);
    ASSERT_EQ(s.width, c.width);
    int differing = 0;
    for (int y = 0; y < c.y - s.y; ++y)
        for (int x = 0; x < s.width; ++x)
            differing += !near(pixel(screen, s.x + x, s.y + y), pixel(screen, c.x + x, c.y + y), 0);
    EXPECT_EQ(differing, 0);

    expect_clean_close(client, client_window.id);
    expect_clean_close(*server, server_window.id);
}

TEST_F(NetworkPlay, ServerTakesANewClientAfterOneLeavesMidGame)
{
    GameWindow first_window;
    Program& first = *start_client(first_window, 1);
    ASSERT_TRUE(press_square(server_window, 2, 2));
    ASSERT_TRUE(press_square(server_window, 4, 2));
    EXPECT_TRUE(wait_line(first, "[LOG] Bleu déplace Soldat de (2,2) vers (4,2)")) << first.out;

    expect_clean_close(first, first_window.id);
    EXPECT_TRUE(wait_line(*server, "[DEBUG][NETWORK] Connection closed")) << server->out;

    GameWindow second_window;
    Program& second = *start_client(second_window, 2);
    // The server's game went on where it was: Red is to move there, while the
    // new client starts a game of its own with Blue to move and refuses it.
    ASSERT_TRUE(press_square(server_window, 6, 6));
    ASSERT_TRUE(press_square(server_window, 4, 6));
    EXPECT_TRUE(wait_line(*server, "[DEBUG][NETWORK] Sent move: G3G5")) << server->out;
    EXPECT_EQ(count_line(*server, "[LOG] Rouge déplace Soldat de (6,6) vers (4,6)"), 1);
    EXPECT_TRUE(wait_line(second, "[DEBUG][GUI] Applying received move: (6,6) -> (4,6)")) << second.out;
    EXPECT_EQ(count_line(second, "[DEBUG][NETWORK] Received move: G3G5"), 1);
    read_output_for(second, QUIET_MS);
    EXPECT_TRUE(out_lines_starting(second, "[LOG]").empty()) << second.out;

    expect_clean_close(second, second_window.id);
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
