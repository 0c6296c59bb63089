// The real program's window on screen: its title in each mode, the board of a
// new game read back from a screenshot, the status labels drawn around it,
// and a second start in the same mode showing the window that exists.
#include <unistd.h>

#include "fixture.hpp"

// ---------------------------------------------------------------------------
// Titles

using WindowTitle = ProgramTest;

TEST_F(WindowTitle, LocalGameIsTitledLocal)
{
    Program& p = start_program({"-l"});
    const std::string id = find_game_window(p);
    ASSERT_NE(id, "") << p.out << p.err;
    EXPECT_EQ(window_name(id), "Tavelorn - Local");
    expect_clean_close(p, id);
}

TEST_F(WindowTitle, ServerIsTitledServeurBeforeAnyPeer)
{
    Program* p = nullptr;
    ASSERT_GT(start_server(p), 0) << p->out << p->err;
    const std::string id = find_game_window(*p);
    ASSERT_NE(id, "") << p->out << p->err;
    EXPECT_EQ(window_name(id), "Tavelorn - Serveur");
    expect_clean_close(*p, id);
}

TEST_F(WindowTitle, ClientIsTitledClient)
{
    int port = 0;
    const int listening = listen_any(&port);
    ASSERT_GE(listening, 0);
    Program& p = start_program({"-c", "127.0.0.1:" + std::to_string(port)});
    const std::string id = find_game_window(p);
    ASSERT_NE(id, "") << p.out << p.err;
    EXPECT_EQ(window_name(id), "Tavelorn - Client");
    expect_clean_close(p, id);
    close(listening);
}

// ---------------------------------------------------------------------------
// Closing

using WindowClosing = ProgramTest;

// Every test here ends its programs this way; this one also checks that the
// run prints nothing more than its start and its end.
TEST_F(WindowClosing, CloseRequestEndsTheRunWithStatusZero)
{
    Program& p = start_program({"-l"});
    const std::string id = find_game_window(p);
    ASSERT_NE(id, "") << p.out << p.err;
    EXPECT_EQ(close_and_wait(p, id), 0) << p.err;
    EXPECT_EQ(out_lines(p), (std::vector<std::string>{"[DEBUG][MAIN] Mode local activé",
                                                      "[DEBUG][MAIN] Lancement de l'application GTK avec ID: " +
                                                          std::string(TAVELORN_APP_ID) + ".local",
                                                      LAST_LINE_OK}));
    EXPECT_EQ(p.err.find("Sanitizer"), std::string::npos) << p.err;
}

// ---------------------------------------------------------------------------
// The board of a new game, on screen

using WindowBoard = ProgramTest;

// Counts the pixels near `colour` in a rectangle of the board.
static int count_near(const Image& image, const GameWindow& w, Rect area, Rgb colour, int tolerance)
{
    int count = 0;
    for (int y = area.y; y < area.y + area.height; ++y)
        for (int x = area.x; x < area.x + area.width; ++x)
            count += near(board_pixel(image, w, x, y), colour, tolerance);
    return count;
}

TEST_F(WindowBoard, NewGameShowsTheFiveLayersAtTheirPlaces)
{
    Program& p = start_program({"-l"});
    GameWindow w;
    ASSERT_TRUE(open_game_window(p, w)) << p.out << p.err;
    Image image;
    // The pieces are the last layer: once a disc is there, the board is whole.
    ASSERT_TRUE(wait_board_pixel(image, w, square_centre(7), square_centre(7), RED_DISC));

    // Background: the margins and an empty square with no mark
    expect_board_colour(image, w, 5, 5, BACKGROUND, "top-left margin");
    expect_board_colour(image, w, 520, 520, BACKGROUND, "bottom-right margin");
    expect_board_colour(image, w, 264, 264, BACKGROUND, "empty square (4,4)");
    expect_board_colour(image, w, square_origin(0) + 6, square_origin(0) + 6, BACKGROUND, "corner square (0,0)");

    // Control tint around the discs, under the grid
    expect_board_colour(image, w, square_origin(2) + 6, square_origin(2) + 6, BLUE_TINT, "Blue's square (2,2)");
    expect_board_colour(image, w, square_origin(1) + 6, square_origin(1) + 46, BLUE_TINT, "Blue's king square (1,1)");
    expect_board_colour(image, w, square_origin(6) + 6, square_origin(6) + 6, RED_TINT, "Red's square (6,6)");
    expect_board_colour(image, w, square_origin(8) + 46, square_origin(5) + 46, RED_TINT, "Red's square (5,8)");

    // Grid: ten lines each way, from 30 to 498
    for (int k = 0; k <= 9; ++k) {
        expect_board_colour(image, w, square_origin(k), 264 + 13, WHITE, "vertical grid line");
        expect_board_colour(image, w, 264 + 13, square_origin(k), WHITE, "horizontal grid line");
    }
    expect_board_colour(image, w, 264, 26, BACKGROUND, "above the grid");
    expect_board_colour(image, w, 264, 501, BACKGROUND, "below the grid");

    // Discs: every piece of the starting position, and the squares between
    const int blue[][2] = {{0, 2}, {0, 3}, {1, 1}, {1, 2}, {1, 3}, {2, 0}, {2, 1}, {2, 2}, {3, 0}, {3, 1}};
    for (const auto& sq : blue)
        expect_board_colour(image, w, square_centre(sq[1]) - 8, square_centre(sq[0]), BLUE_DISC, "Blue disc");
    const int red[][2] = {{5, 7}, {5, 8}, {6, 6}, {6, 7}, {6, 8}, {7, 5}, {7, 6}, {7, 7}, {8, 5}, {8, 6}};
    for (const auto& sq : red)
        expect_board_colour(image, w, square_centre(sq[1]) - 8, square_centre(sq[0]), RED_DISC, "Red disc");

    // King rings: white at radius R - 3 on the kings only
    expect_board_colour(image, w, square_centre(1) + 15, square_centre(1), WHITE, "Blue king's ring");
    expect_board_colour(image, w, square_centre(1) - 16, square_centre(1), WHITE, "Blue king's ring");
    expect_board_colour(image, w, square_centre(1), square_centre(1), BLUE_DISC, "Blue king's centre");
    expect_board_colour(image, w, square_centre(7) + 15, square_centre(7), WHITE, "Red king's ring");
    expect_board_colour(image, w, square_centre(7), square_centre(7), RED_DISC, "Red king's centre");
    expect_board_colour(image, w, square_centre(2) + 15, square_centre(2), BLUE_DISC, "Blue soldier, no ring");
    expect_board_colour(image, w, square_centre(6) + 15, square_centre(6), RED_DISC, "Red soldier, no ring");

    // Corner emblems: grey disc, white ring, white square, grey cross
    for (const int c : {0, 8}) {
        const int x = square_centre(c), y = square_centre(c);
        expect_board_colour(image, w, x + 10, y, EMBLEM_GREY, "emblem disc");
        expect_board_colour(image, w, x, y - 11, EMBLEM_GREY, "emblem disc");
        expect_board_colour(image, w, x + 16, y, WHITE, "emblem ring");
        expect_board_colour(image, w, x + 4, y + 4, WHITE, "emblem square");
        expect_board_colour(image, w, x - 5, y - 5, WHITE, "emblem square");
        expect_board_colour(image, w, x, y, EMBLEM_GREY, "emblem cross");
        expect_board_colour(image, w, x + 19, y, BACKGROUND, "outside the emblem");
    }

    // Coordinates: white ink above each column and beside each row
    for (int i = 0; i < 9; ++i) {
        EXPECT_GT(count_near(image, w, {square_centre(i) - 7, 4, 15, 15}, WHITE, 20), 4) << "letter of column " << i;
        EXPECT_GT(count_near(image, w, {14, square_centre(i) - 7, 13, 15}, WHITE, 20), 4) << "digit of row " << i;
    }
    EXPECT_EQ(count_near(image, w, {square_centre(0) + 12, 4, 20, 15}, WHITE, 20), 0) << "between two letters";
    expect_clean_close(p, w.id);
}

// Bands of rows, from the top of the rectangle (screen coordinates), holding
// pixels of the colour: one band per line of text in that colour.
static int count_bands(const Image& image, Rect area, Rgb colour)
{
    int bands = 0;
    bool in_band = false;
    for (int y = area.y; y < area.y + area.height; ++y) {
        bool found = false;
        for (int x = area.x; x < area.x + area.width && !found; ++x)
            found = near(pixel(image, x, y), colour, 12);
        bands += found && !in_band;
        in_band = found;
    }
    return bands;
}

static int count_pure_white(const Image& image, Rect area)
{
    int count = 0;
    for (int y = area.y; y < area.y + area.height; ++y)
        for (int x = area.x; x < area.x + area.width; ++x)
            count += near(pixel(image, x, y), WHITE, 1);
    return count;
}

// The label texts themselves are checked in-process; on screen each column
// shows its three lines in its side's colour and the white placeholder texts
// never appear.
TEST_F(WindowBoard, StatusLabelsAreDrawnAroundTheBoard)
{
    const Rgb blue_text{30, 144, 255}, red_text{255, 48, 48}, gold_text{255, 215, 0};
    Program& p = start_program({"-l"});
    GameWindow w;
    ASSERT_TRUE(open_game_window(p, w)) << p.out << p.err;
    Image image;
    ASSERT_TRUE(wait_board_pixel(image, w, square_centre(7), square_centre(7), RED_DISC));
    const Rect left{w.rect.x, w.rect.y, w.board_x - w.rect.x, w.rect.height};
    const Rect right{w.board_x + 528, w.rect.y, w.rect.x + w.rect.width - (w.board_x + 528), w.rect.height};
    const Rect above{w.board_x, w.rect.y, 528, w.board_y - w.rect.y};
    EXPECT_EQ(count_bands(image, left, blue_text), 3);
    EXPECT_EQ(count_bands(image, right, red_text), 3);
    EXPECT_EQ(count_bands(image, above, gold_text), 1);
    EXPECT_EQ(count_pure_white(image, left), 0);
    EXPECT_EQ(count_pure_white(image, right), 0);
    expect_clean_close(p, w.id);
}

// ---------------------------------------------------------------------------
// Two starts in one mode

using WindowInstances = ProgramTest;

TEST_F(WindowInstances, SecondStartInTheSameModeShowsTheWindowThatExists)
{
    Program& first = start_program({"-l"});
    GameWindow w;
    ASSERT_TRUE(open_game_window(first, w)) << first.out << first.err;

    Program& second = start_program({"-l"});
    EXPECT_EQ(wait_exit(second), 0) << second.err;
    EXPECT_EQ(out_lines(second).back(), LAST_LINE_OK);
    read_output_for(first, QUIET_MS);
    EXPECT_EQ(visible_windows(first).size(), 1u);
    EXPECT_FALSE(first.ended);

    // The first window still plays: its references were not taken over.
    ASSERT_TRUE(press_square(w, 2, 2));
    ASSERT_TRUE(press_square(w, 4, 2));
    EXPECT_TRUE(wait_line(first, "[LOG] Bleu déplace Soldat de (2,2) vers (4,2)")) << first.out;
    expect_clean_close(first, w.id);
}
