// Helpers for tests of the game's globals: a copy of the whole game state to
// compare or restore, positions built square by square, and what reaches
// standard output while a rule runs.
#pragma once

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "app.hpp"
#include "standard_output.hpp"

// Every global of the rules module.
struct GameState {
    Grid board;
    Grid control_grid;
    Grid highlight_moves;
    int32_t current_player;
    int32_t turn_count;
    int32_t captured_blue_soldiers;
    int32_t captured_red_soldiers;
    int32_t blue_king_alive;
    int32_t red_king_alive;
    int32_t has_selection;
    int32_t sel_r;
    int32_t sel_c;
    // Byte-wise: the checks over random games compare millions of states.
    bool operator==(const GameState& other) const { return std::memcmp(this, &other, sizeof other) == 0; }
};
static_assert(sizeof(GameState) == (3 * BOARD_SIZE * BOARD_SIZE + 9) * sizeof(int32_t), "no padding to compare");

inline GameState snapshot_state()
{
    return {board,
            control_grid,
            highlight_moves,
            current_player,
            turn_count,
            captured_blue_soldiers,
            captured_red_soldiers,
            blue_king_alive,
            red_king_alive,
            has_selection,
            sel_r,
            sel_c};
}

inline void restore_state(const GameState& s)
{
    board = s.board;
    control_grid = s.control_grid;
    highlight_moves = s.highlight_moves;
    current_player = s.current_player;
    turn_count = s.turn_count;
    captured_blue_soldiers = s.captured_blue_soldiers;
    captured_red_soldiers = s.captured_red_soldiers;
    blue_king_alive = s.blue_king_alive;
    red_king_alive = s.red_king_alive;
    has_selection = s.has_selection;
    sel_r = s.sel_r;
    sel_c = s.sel_c;
}

// Field by field, so that a failure names what changed.
inline void expect_same_state(const GameState& before, const GameState& after)
{
    EXPECT_EQ(before.board, after.board);
    EXPECT_EQ(before.control_grid, after.control_grid);
    EXPECT_EQ(before.highlight_moves, after.highlight_moves);
    EXPECT_EQ(before.current_player, after.current_player);
    EXPECT_EQ(before.turn_count, after.turn_count);
    EXPECT_EQ(before.captured_blue_soldiers, after.captured_blue_soldiers);
    EXPECT_EQ(before.captured_red_soldiers, after.captured_red_soldiers);
    EXPECT_EQ(before.blue_king_alive, after.blue_king_alive);
    EXPECT_EQ(before.red_king_alive, after.red_king_alive);
    EXPECT_EQ(before.has_selection, after.has_selection);
    EXPECT_EQ(before.sel_r, after.sel_r);
    EXPECT_EQ(before.sel_c, after.sel_c);
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
