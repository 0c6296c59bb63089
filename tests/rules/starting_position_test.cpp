// The starting position and what a new game resets.
#include <gtest/gtest.h>

#include "game_state.hpp"

namespace
{

// The starting position as the players see it, row 0 (digit 9) on top.
constexpr int32_t START[BOARD_SIZE][BOARD_SIZE] = {
    {5, 0, 1, 1, 0, 0, 0, 0, 0}, {0, 2, 1, 1, 0, 0, 0, 0, 0}, {1, 1, 1, 0, 0, 0, 0, 0, 0},
    {1, 1, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 3, 3},
    {0, 0, 0, 0, 0, 0, 3, 3, 3}, {0, 0, 0, 0, 0, 3, 3, 4, 0}, {0, 0, 0, 0, 0, 3, 3, 0, 5},
};

int32_t swap_sides(int32_t cell)
{
    switch (cell) {
    case CELL_BLUE_SOLDIER:
        return CELL_RED_SOLDIER;
    case CELL_BLUE_KING:
        return CELL_RED_KING;
    case CELL_RED_SOLDIER:
        return CELL_BLUE_SOLDIER;
    case CELL_RED_KING:
        return CELL_BLUE_KING;
    default:
        return cell;
    }
}

// Every global set to a value that no new game has.
void scramble_state()
{
    for (int32_t r = 0; r < BOARD_SIZE; ++r)
        for (int32_t c = 0; c < BOARD_SIZE; ++c) {
            board[r][c] = (r + c) % 6;
            control_grid[r][c] = (r * c) % 3;
            highlight_moves[r][c] = 1;
        }
    current_player = PLAYER_RED;
    turn_count = 40;
    captured_blue_soldiers = 5;
    captured_red_soldiers = 7;
    blue_king_alive = 0;
    red_king_alive = 0;
    has_selection = 1;
    sel_r = 4;
    sel_c = 6;
    move_history.fill({1, 2, 3, 4});
    move_history_count = 30;
    move_history_overflowed = 1;
}

} // namespace

TEST(RulesStartingPosition, BoardHoldsTheStartingPosition)
{
    new_game_setup();
    for (int32_t r = 0; r < BOARD_SIZE; ++r)
        for (int32_t c = 0; c < BOARD_SIZE; ++c)
            EXPECT_EQ(board[r][c], START[r][c]) << "square (" << r << "," << c << ")";
}

TEST(RulesStartingPosition, EachSideHasNineSoldiersOneKingAndTheTwoCorners)
{
    new_game_setup();
    EXPECT_EQ(count_cells(CELL_BLUE_SOLDIER), 9);
    EXPECT_EQ(count_cells(CELL_RED_SOLDIER), 9);
    EXPECT_EQ(count_cells(CELL_BLUE_KING), 1);
    EXPECT_EQ(count_cells(CELL_RED_KING), 1);
    EXPECT_EQ(count_cells(CELL_CORNER), 2);
    EXPECT_EQ(board[0][0], CELL_CORNER);
    EXPECT_EQ(board[8][8], CELL_CORNER);
    EXPECT_EQ(count_cells(CELL_EMPTY), 81 - 22);
}

TEST(RulesStartingPosition, RedIsBlueTurnedHalfATurnAboutTheCentre)
{
    new_game_setup();
    for (int32_t r = 0; r < BOARD_SIZE; ++r)
        for (int32_t c = 0; c < BOARD_SIZE; ++c) {
            EXPECT_EQ(board[8 - r][8 - c], swap_sides(board[r][c])) << "square (" << r << "," << c << ")";
            const int32_t mark = control_grid[r][c];
            const int32_t mirrored = mark == CONTROL_BLUE ? CONTROL_RED : mark == CONTROL_RED ? CONTROL_BLUE : mark;
            EXPECT_EQ(control_grid[8 - r][8 - c], mirrored) << "mark of (" << r << "," << c << ")";
        }
}

TEST(RulesStartingPosition, EveryPieceMarksItsSquareAndNothingElseIsMarked)
{
    new_game_setup();
    int32_t blue_marks = 0, red_marks = 0;
    for (int32_t r = 0; r < BOARD_SIZE; ++r)
        for (int32_t c = 0; c < BOARD_SIZE; ++c) {
            const int32_t cell = board[r][c];
            const int32_t expected = is_blue_piece(cell)  ? CONTROL_BLUE
                                     : is_red_piece(cell) ? CONTROL_RED
                                                          : CONTROL_NONE;
            EXPECT_EQ(control_grid[r][c], expected) << "square (" << r << "," << c << ")";
            blue_marks += control_grid[r][c] == CONTROL_BLUE;
            red_marks += control_grid[r][c] == CONTROL_RED;
        }
    EXPECT_EQ(blue_marks, 10);
    EXPECT_EQ(red_marks, 10);
    EXPECT_EQ(control_grid[0][0], CONTROL_NONE);
    EXPECT_EQ(control_grid[8][8], CONTROL_NONE);
}

TEST(RulesStartingPosition, NewGameResetsEveryGlobalWhateverItHeld)
{
    new_game_setup();
    const GameState fresh = snapshot_state();
    scramble_state();
    new_game_setup();
    EXPECT_TRUE(snapshot_state() == fresh);
    EXPECT_EQ(count_flags(highlight_moves), 0);
    expect_new_game_scalars();
}

TEST(RulesStartingPosition, NewGameClearsTheHighlightsOfASelection)
{
    new_game_setup();
    compute_possible_moves(2, 2);
    has_selection = 1;
    sel_r = 2;
    sel_c = 2;
    ASSERT_GT(count_flags(highlight_moves), 0);
    new_game_setup();
    EXPECT_EQ(count_flags(highlight_moves), 0);
    EXPECT_EQ(has_selection, 0);
    EXPECT_EQ(sel_r, -1);
    EXPECT_EQ(sel_c, -1);
}
