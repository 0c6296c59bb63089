// Positions and whole-state snapshots for the opponent's tests.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "ai.hpp"
#include "game_state.hpp"

using Square = std::array<int32_t, 2>;

// A value no fill ever writes, to see which entries a fill left alone.
constexpr Square UNTOUCHED = {-7, -7};

// Everything the opponent may read or write: the rules' state and its own.
struct GameSnapshot {
    GameState rules;
    int32_t ai_enabled, ai_player;
    std::array<Square, 20> ai_pieces_jouables;
    std::array<Square, 81> ai_posi_jouables;
};
GameSnapshot snapshot();
void expect_same_state(const GameSnapshot& before, const GameSnapshot& after);

// Positions on an otherwise empty board (clear_board), Blue to move.
// Blue's king alone at (1,1), its starting neighbours made Red: it is Blue's
// only piece and can go to (0,1) or (1,0).
void lone_blue_king_in_its_corner();
// Blue's soldier at (0,1), shut in by the corner and Red soldiers at (0,2)
// and (1,1).
void blue_soldier_shut_in();

// The squares set in `highlight_moves`, in reading order.
std::vector<Square> highlighted();
// The squares `compute_possible_moves` marks for the piece on (row, col).
std::vector<Square> destinations_of(int32_t row, int32_t col);
// The squares holding a piece of `player`, in reading order.
std::vector<Square> pieces_of(int32_t player);

// The opponent off, playing Blue, and both lists filled with UNTOUCHED.
void reset_opponent();

// Starts every test from a new game and reset_opponent.
class OpponentTest : public testing::Test
{
  protected:
    void SetUp() override;
};
