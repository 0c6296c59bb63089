// Random games through the rules, for tests and benchmarks: the moves of the
// side to move, a small fast random draw among them, and a move played with
// the turn passed on.
#pragma once

#include <cstdint>

#include "app.hpp"

struct Move {
    int32_t from_row, from_col, to_row, to_col;
};

// xorshift64*: a few cycles per draw and the same sequence on every platform.
inline uint64_t next_random(uint64_t& state)
{
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1DULL;
}

// Calls `visit` with every move of the side to move, as compute_possible_moves
// flags them: pieces in reading order, then their destinations in reading
// order. The last piece's flags stay in `highlight_moves`.
template <class Visit> void for_each_move(Visit visit)
{
    for (int32_t r = 0; r < BOARD_SIZE; ++r)
        for (int32_t c = 0; c < BOARD_SIZE; ++c) {
            if (!is_piece_of(current_player, board[r][c]))
                continue;
            compute_possible_moves(r, c);
            for (int32_t tr = 0; tr < BOARD_SIZE; ++tr)
                for (int32_t tc = 0; tc < BOARD_SIZE; ++tc)
                    if (highlight_moves[tr][tc])
                        visit(Move{r, c, tr, tc});
        }
}

// try_move, then the turn passes as the window's turn flow passes it.
// Returns what try_move returned.
inline int32_t play_and_pass(const Move& m)
{
    const int32_t applied = try_move(m.from_row, m.from_col, m.to_row, m.to_col);
    turn_count++;
    current_player = other_player(current_player);
    return applied;
}
