// The random-move opponent (being written).
#include "ai.hpp"

int32_t ai_enabled = 0;
int32_t ai_player = 0;
std::array<std::array<int32_t, 2>, 20> ai_pieces_jouables{};
std::array<std::array<int32_t, 2>, 81> ai_posi_jouables{};

int32_t ai_option_piece() { return 0; }
int32_t randint(int32_t) { return 0; }
int32_t ai_option_move() { return 0; }
int32_t ai_move() { return 0; }
int32_t ai_gameloop() { return 1; }
