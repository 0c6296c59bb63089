// Helpers for tests of the game's globals: a copy of the whole game state to
// compare or restore, positions built square by square, and what reaches
// standard output while a rule runs.
#pragma once

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "app.hpp"
#include "game_snapshot.hpp"
#include "standard_output.hpp"

// Field by field, so that a failure names what changed.
inline void expect_same_state(const GameState& before, const GameState& after)
{
#define COMPARE(type, name) EXPECT_EQ(before.name, after.name) << #name;
    FOR_EACH_GAME_GLOBAL(COMPARE)
#undef COMPARE
}

// The side to move, the turn, the captures, the kings and the selection as a
// new game sets them.
inline void expect_new_game_scalars()
{
    EXPECT_EQ(current_player, PLAYER_BLUE);
    EXPECT_EQ(turn_count, 1);
    EXPECT_EQ(captured_blue_soldiers, 0);
    EXPECT_EQ(captured_red_soldiers, 0);
    EXPECT_EQ(blue_king_alive, 1);
    EXPECT_EQ(red_king_alive, 1);
    EXPECT_EQ(has_selection, 0);
    EXPECT_EQ(sel_r, -1);
    EXPECT_EQ(sel_c, -1);
}

// A new game with every piece taken off and every mark cleared; the corners
// stay, and the counters and flags keep their new-game values.
inline void clear_board()
{
    new_game_setup();
    for (int32_t r = 0; r < BOARD_SIZE; ++r)
        for (int32_t c = 0; c < BOARD_SIZE; ++c) {
            if (!is_corner_square(r, c))
                board[r][c] = CELL_EMPTY;
            control_grid[r][c] = CONTROL_NONE;
        }
}

// Puts a piece on a square with its side's mark, as if it had moved there.
inline void put(int32_t row, int32_t col, int32_t cell)
{
    board[row][col] = cell;
    control_grid[row][col] = is_blue_piece(cell) ? CONTROL_BLUE : is_red_piece(cell) ? CONTROL_RED : CONTROL_NONE;
}

// Blue's soldier on E7 is to land on E5 next and take two red soldiers: the
// one on D5, enclosed against Blue's on C5, and the one on E4 ahead of it.
inline void set_up_double_capture()
{
    clear_board();
    put(2, 4, CELL_BLUE_SOLDIER);
    put(4, 2, CELL_BLUE_SOLDIER);
    put(4, 3, CELL_RED_SOLDIER);
    put(5, 4, CELL_RED_SOLDIER);
}

inline int32_t count_cells(int32_t cell)
{
    int32_t n = 0;
    for (const auto& row : board)
        for (int32_t v : row)
            n += v == cell;
    return n;
}

inline int32_t count_flags(const Grid& grid)
{
    int32_t n = 0;
    for (const auto& row : grid)
        for (int32_t v : row)
            n += v != 0;
    return n;
}

// try_move with what it printed (stdio buffer flushed) kept in `printed`.
inline int32_t try_move_printing(int32_t from_row, int32_t from_col, int32_t to_row, int32_t to_col,
                                 std::string* printed)
{
    int32_t result = 0;
    *printed = stdout_of([&] { result = try_move(from_row, from_col, to_row, to_col); });
    return result;
}
