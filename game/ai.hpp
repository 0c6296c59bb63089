// The random-move computer opponent. Switched off at start; nothing in the
// game turns it on.
#pragma once

#include <array>
#include <cstdint>

// Switch and side
extern int32_t ai_enabled; // non-zero: the opponent plays
extern int32_t ai_player;  // the side it plays, PLAYER_BLUE or PLAYER_RED

// Lists refilled by every call, from entry 0; entries past the returned
// count keep what an earlier fill left there.
extern std::array<std::array<int32_t, 2>, 20> ai_pieces_jouables; // (row, column)
extern std::array<std::array<int32_t, 2>, 81> ai_posi_jouables;   // (row, column)

// Draws: each re-seeds from the clock in whole seconds and takes one output
// of the generator, so draws within one second repeat.
int32_t randint(int32_t a); // 0 to a - 1; 0 when a is below 1

// Lists: the opponent's pieces in reading order, then the squares one drawn
// piece can reach (also left in `highlight_moves`). ai_option_move returns 0
// and changes nothing else when there is no piece or the piece cannot move.
int32_t ai_option_piece();
int32_t ai_option_move();

// Plays one random move for `ai_player` while it is to move: 1 and the side
// to move switched when the rules applied it, 0 with the game unchanged
// otherwise. Never touches the turn counter, the labels or the peer.
int32_t ai_move();

// Plays the opponent's turns until the game is over, then returns 1. Runs
// the default main context while it waits for its turn.
int32_t ai_gameloop();
