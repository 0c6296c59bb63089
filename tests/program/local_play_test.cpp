// Local play on the real program by presses on its board (xdotool): selecting,
// moving, refused moves ending the selection, the turn passing, margins
// ignored; then the same from the keyboard, with the cursor on screen. A move
// whose "[LOG]" line is expected closes each sequence: the presses and keys
// before it have all been handled by then, in order.
#include "fixture.hpp"

using Lines = std::vector<std::string>;

class LocalPlay : public ProgramTest
{
  protected:
    void SetUp() override
    {
        game = &start_program({"-l"});
        ASSERT_TRUE(open_game_window(*game, w)) << game->out << game->err;
        Image image;
        ASSERT_TRUE(wait_board_pixel(image, w, square_centre_px(7), square_centre_px(7), RED_DISC));
    }

    void press(int row, int col) { ASSERT_TRUE(press_square(w, row, col)); }
    void keys(const Lines& names) { ASSERT_TRUE(press_keys(w, names)); }

    // The cursor's whole frame in that square, and nothing of it elsewhere.
    void expect_cursor_at(int row, int col)
    {
        constexpr int FRAME_PIXELS = 46 * 46 - 38 * 38;
        Image image;
        EXPECT_TRUE(screenshot_until(image, [&] { return cursor_pixels(image, w, row, col) == FRAME_PIXELS; }))
            << "cursor at (" << row << "," << col << "): " << cursor_pixels(image, w, row, col) << " pixels";
        EXPECT_EQ(cursor_pixels(image, w), FRAME_PIXELS);
    }

    void expect_moves(const Lines& logs)
    {
        ASSERT_TRUE(wait_line(*game, logs.back())) << game->out << game->err;
        EXPECT_EQ(out_lines_starting(*game, "[LOG]"), logs);
    }

    Program* game = nullptr;
    GameWindow w;
};

TEST_F(LocalPlay, MovedSoldierLeavesItsMarkAndMarksItsNewSquare)
{
    press(2, 2);
    press(4, 2);
    expect_moves({"[LOG] Bleu déplace Soldat de (2,2) vers (4,2)"});
    Image image;
    ASSERT_TRUE(wait_board_pixel(image, w, square_centre_px(2), square_centre_px(4), BLUE_DISC));
    expect_board_colour(image, w, square_centre_px(2), square_centre_px(2), BLUE_TINT, "square left behind");
    expect_board_colour(image, w, square_origin_px(2) + 6, square_origin_px(4) + 6, BLUE_TINT, "square arrived on");
    expect_board_colour(image, w, square_centre_px(2), square_centre_px(3), BACKGROUND, "square passed over");
    expect_clean_close(*game, w.id);
}

TEST_F(LocalPlay, SelectingAPieceChangesNothingOnScreen)
{
    Image before, after;
    ASSERT_TRUE(take_screenshot(before));
    press(2, 2);
    read_output_for(*game, QUIET_MS);
    ASSERT_TRUE(take_screenshot(after));
    int differing = 0;
    for (int y = 0; y < 528; ++y)
        for (int x = 0; x < 528; ++x)
            differing += !near(board_pixel(before, w, x, y), board_pixel(after, w, x, y), 0);
    EXPECT_EQ(differing, 0);
    press(4, 2); // the selection was made all the same
    expect_moves({"[LOG] Bleu déplace Soldat de (2,2) vers (4,2)"});
    expect_clean_close(*game, w.id);
}

TEST_F(LocalPlay, RefusedMoveOnlyEndsTheSelection)
{
    // A second press on the selected piece (a double click) ends the selection.
    press(2, 2);
    press(2, 2);
    press(4, 2);
    // A diagonal move is refused; the next press finds nothing selected.
    press(2, 2);
    press(3, 3);
    press(4, 2);
    // A press on another own piece ends the selection without selecting it.
    press(2, 2);
    press(3, 1);
    press(4, 1);
    press(3, 0);
    press(4, 0);
    expect_moves({"[LOG] Bleu déplace Soldat de (3,0) vers (4,0)"});
    expect_clean_close(*game, w.id);
}

TEST_F(LocalPlay, TurnPassesToTheOtherSideAfterEachMove)
{
    press(2, 2);
    press(4, 2);
    press(3, 1); // Blue's, while Red is to move: not selected
    press(4, 1);
    press(6, 6);
    press(4, 6);
    press(5, 7); // Red's, while Blue is to move
    press(4, 7);
    press(3, 1);
    press(4, 1);
    expect_moves({"[LOG] Bleu déplace Soldat de (2,2) vers (4,2)", "[LOG] Rouge déplace Soldat de (6,6) vers (4,6)",
                  "[LOG] Bleu déplace Soldat de (3,1) vers (4,1)"});
    Image image;
    ASSERT_TRUE(wait_board_pixel(image, w, square_centre_px(1), square_centre_px(4), BLUE_DISC));
    expect_board_colour(image, w, square_centre_px(6), square_centre_px(4), RED_DISC, "Red's soldier moved");
    expect_board_colour(image, w, square_origin_px(6) + 6, square_origin_px(6) + 6, RED_TINT, "Red's square left");
    expect_clean_close(*game, w.id);
}

TEST_F(LocalPlay, PressesInTheMarginsAreIgnored)
{
    const int left = 10, top = 10, right = 515, bottom = 515;
    // Were the left and top margins part of column 0 and row 0, these would
    // select (3,0) and (0,3) and move them.
    ASSERT_TRUE(press_board(w, left, square_centre_px(3)));
    press(4, 0);
    ASSERT_TRUE(press_board(w, square_centre_px(3), top));
    press(0, 4);
    // Nor do margin presses end a selection.
    press(2, 2);
    ASSERT_TRUE(press_board(w, left, square_centre_px(2)));
    ASSERT_TRUE(press_board(w, square_centre_px(2), top));
    ASSERT_TRUE(press_board(w, right, square_centre_px(2)));
    ASSERT_TRUE(press_board(w, square_centre_px(2), bottom));
    press(4, 2);
    expect_moves({"[LOG] Bleu déplace Soldat de (2,2) vers (4,2)"});
    expect_clean_close(*game, w.id);
}

TEST_F(LocalPlay, FirstMovesAreMadeFromTheKeyboard)
{
    Image image;
    ASSERT_TRUE(take_screenshot(image));
    EXPECT_EQ(cursor_pixels(image, w), 0) << "a cursor before any key";

    // The first arrow shows the cursor where it rests; a typed name takes it
    // straight to its square.
    keys({"Up"});
    expect_cursor_at(4, 4);
    keys({"c", "7"});
    expect_cursor_at(2, 2);
    // Held down, Space repeats; C7 is taken up once, not put down again. An
    // arrow held with Ctrl is the toolkit's, not the board's.
    ASSERT_TRUE(hold_key(w, "space", 700));
    keys({"ctrl+Down", "Down", "Down", "Return"});
    expect_moves({"[LOG] Bleu déplace Soldat de (2,2) vers (4,2)"});
    expect_cursor_at(4, 2);

    // A second letter starts the name again, a capital is the same letter,
    // and a digit with no letter before it does nothing.
    keys({"h", "G", "3", "5", "space", "g", "5", "space"});
    expect_moves({"[LOG] Bleu déplace Soldat de (2,2) vers (4,2)", "[LOG] Rouge déplace Soldat de (6,6) vers (4,6)"});
    ASSERT_TRUE(wait_board_pixel(image, w, square_centre_px(6), square_centre_px(4), RED_DISC));
    expect_cursor_at(4, 6);
    expect_clean_close(*game, w.id);
}

TEST_F(LocalPlay, EscapeDropsTheSelectionKeysStopAtTheEdgesAndThePointerTakesOver)
{
    // B7 taken up and put down again: Space then selects C7, and only that
    // selection moves to C5.
    keys({"b", "7", "space", "Escape", "Right", "space", "Down", "Down", "space"});
    expect_moves({"[LOG] Bleu déplace Soldat de (2,2) vers (4,2)"});
    // Tab and Shift+Tab leave the board, its window's one focusable part, and
    // come straight back to it: the arrows still move the cursor.
    keys({"Tab", "shift+Tab"});
    // Nine presses reach a side from anywhere, and the corner is a square too.
    const Lines nine_left(9, "Left"), nine_up(9, "Up");
    keys(nine_left);
    keys(nine_up);
    expect_cursor_at(0, 0);
    // A press puts the cursor away on the pressed square; the next arrow
    // shows it there, and the one after moves it.
    press(6, 6);
    Image image;
    EXPECT_TRUE(screenshot_until(image, [&] { return cursor_pixels(image, w) == 0; }));
    keys({"Up"});
    expect_cursor_at(6, 6);
    keys({"Up", "space"});
    expect_moves({"[LOG] Bleu déplace Soldat de (2,2) vers (4,2)", "[LOG] Rouge déplace Soldat de (6,6) vers (5,6)"});
    expect_cursor_at(5, 6);
    expect_clean_close(*game, w.id);
}
