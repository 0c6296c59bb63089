// The random-move computer opponent. Switched off at start; nothing in the
// game turns it on.
#pragma once

#include <array>
#include <cstdint>

extern int32_t ai_enabled; // non-zero: the opponent plays
extern int32_t ai_player;  // the side it plays
extern std::array<std::array<int32_t, 2>, 20> ai_pieces_jouables; // (row, column)
extern std::array<std::array<int32_t, 2>, 81> ai_posi_jouables;   // (row, column)

int32_t ai_option_piece();
int32_t randint(int32_t a);
int32_t ai_option_move();
int32_t ai_move();
int32_t ai_gameloop();
