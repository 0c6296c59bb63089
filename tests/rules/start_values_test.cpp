// What the game state holds from program start, before a new game is set up:
// the scalars already have their new-game values, the grids are empty.
#include <gtest/gtest.h>

#include "app.hpp"

TEST(RulesStartValues, ScalarsHoldNewGameValuesAndGridsAreEmptyBeforeSetup)
{
    for (int32_t r = 0; r < BOARD_SIZE; ++r)
        for (int32_t c = 0; c < BOARD_SIZE; ++c) {
            EXPECT_EQ(board[r][c], CELL_EMPTY);
            EXPECT_EQ(control_grid[r][c], CONTROL_NONE);
            EXPECT_EQ(highlight_moves[r][c], 0);
        }
    EXPECT_EQ(current_player, PLAYER_BLUE);
    EXPECT_EQ(turn_count, 1);
    EXPECT_EQ(captured_blue_soldiers, 0);
    EXPECT_EQ(captured_red_soldiers, 0);
    EXPECT_EQ(blue_king_alive, 1);
    EXPECT_EQ(red_king_alive, 1);
    EXPECT_EQ(has_selection, 0);
    EXPECT_EQ(sel_r, -1);
    EXPECT_EQ(sel_c, -1);
    EXPECT_EQ(is_game_over(), 0);
}
