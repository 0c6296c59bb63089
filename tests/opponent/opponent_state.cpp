#include "opponent_state.hpp"

GameSnapshot snapshot()
{
    return {snapshot_state(), ai_enabled, ai_player, ai_pieces_jouables, ai_posi_jouables};
}

void expect_same_state(const GameSnapshot& before, const GameSnapshot& after)
{
    expect_same_state(before.rules, after.rules);
    EXPECT_EQ(before.ai_enabled, after.ai_enabled);
    EXPECT_EQ(before.ai_player, after.ai_player);
    EXPECT_EQ(before.ai_pieces_jouables, after.ai_pieces_jouables);
    EXPECT_EQ(before.ai_posi_jouables, after.ai_posi_jouables);
}

void lone_blue_king_in_its_corner()
{
    clear_board();
    put(1, 1, CELL_BLUE_KING);
    put(1, 2, CELL_RED_SOLDIER);
    put(2, 1, CELL_RED_SOLDIER);
}

void blue_soldier_shut_in()
{
    clear_board();
    put(0, 1, CELL_BLUE_SOLDIER);
    put(0, 2, CELL_RED_SOLDIER);
    put(1, 1, CELL_RED_SOLDIER);
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

void reset_opponent()
{
    ai_enabled = 0;
    ai_player = PLAYER_BLUE;
    ai_pieces_jouables.fill(UNTOUCHED);
    ai_posi_jouables.fill(UNTOUCHED);
}

void OpponentTest::SetUp()
{
    new_game_setup();
    reset_opponent();
}
