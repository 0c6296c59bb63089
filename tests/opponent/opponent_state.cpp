#include "opponent_state.hpp"

GameSnapshot snapshot()
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
            sel_c,
            ai_enabled,
            ai_player,
            ai_pieces_jouables,
            ai_posi_jouables};
}

void expect_same_state(const GameSnapshot& before, const GameSnapshot& after)
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
    EXPECT_EQ(before.ai_enabled, after.ai_enabled);
    EXPECT_EQ(before.ai_player, after.ai_player);
    EXPECT_EQ(before.ai_pieces_jouables, after.ai_pieces_jouables);
    EXPECT_EQ(before.ai_posi_jouables, after.ai_posi_jouables);
}

void empty_board()
{
    new_game_setup();
    for (auto& row : board)
        row.fill(CELL_EMPTY);
    for (auto& row : control_grid)
        row.fill(CONTROL_NONE);
    board[0][0] = CELL_CORNER;
    board[BOARD_SIZE - 1][BOARD_SIZE - 1] = CELL_CORNER;
}

void place(int32_t cell, int32_t row, int32_t col)
{
    board[row][col] = cell;
    control_grid[row][col] = is_blue_piece(cell) ? CONTROL_BLUE : CONTROL_RED;
}

std::vector<Square> highlighted()
{
    std::vector<Square> squares;
    for (int32_t r = 0; r < BOARD_SIZE; ++r)
        for (int32_t c = 0; c < BOARD_SIZE; ++c)
            if (highlight_moves[r][c] != 0)
                squares.push_back({r, c});
    return squares;
}

std::vector<Square> destinations_of(int32_t row, int32_t col)
{
    const Grid saved = highlight_moves;
    compute_possible_moves(row, col);
    std::vector<Square> squares = highlighted();
    highlight_moves = saved;
    return squares;
}

std::vector<Square> pieces_of(int32_t player)
{
    std::vector<Square> squares;
    for (int32_t r = 0; r < BOARD_SIZE; ++r)
        for (int32_t c = 0; c < BOARD_SIZE; ++c)
            if (is_piece_of(player, board[r][c]))
                squares.push_back({r, c});
    return squares;
}

void OpponentTest::SetUp()
{
    new_game_setup();
    ai_enabled = 0;
    ai_player = PLAYER_BLUE;
    ai_pieces_jouables.fill(UNTOUCHED);
    ai_posi_jouables.fill(UNTOUCHED);
}
