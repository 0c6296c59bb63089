// Local play on the real program by presses on its board (xdotool): selecting,
// moving, refused moves ending the selection, the turn passing, margins
// ignored. A move whose "[LOG]" line is expected closes each sequence: the
// presses before it have all been handled by then, in order.
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
