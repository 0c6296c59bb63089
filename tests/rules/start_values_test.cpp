// What the game state holds from program start, before a new game is set up:
// the scalars already have their new-game values, the grids are empty.
#include <gtest/gtest.h>

#include "game_state.hpp"

TEST(RulesStartValues, ScalarsHoldNewGameValuesAndGridsAreEmptyBeforeSetup)
{
    for (int32_t r = 0; r < BOARD_SIZE; ++r)
        for (int32_t c = 0; c < BOARD_SIZE; ++c) {
            EXPECT_EQ(board[r][c], CELL_EMPTY);
            EXPECT_EQ(control_grid[r][c], CONTROL_NONE);
            EXPECT_EQ(highlight_moves[r][c], 0);
        }
    expect_new_game_scalars();
    EXPECT_EQ(is_game_over(), 0);
}
