// Positions and whole-state snapshots for the opponent's tests.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "ai.hpp"
#include "app.hpp"

using Square = std::array<int32_t, 2>;

// A value no fill ever writes, to see which entries a fill left alone.
constexpr Square UNTOUCHED = {-7, -7};

// Everything the opponent may read or write.
struct GameSnapshot {
    Grid board, control_grid, highlight_moves;
    int32_t current_player, turn_count, captured_blue_soldiers, captured_red_soldiers;
    int32_t blue_king_alive, red_king_alive, has_selection, sel_r, sel_c;
    int32_t ai_enabled, ai_player;
    std::array<Square, 20> ai_pieces_jouables;
    std::array<Square, 81> ai_posi_jouables;
};
GameSnapshot snapshot();
void expect_same_state(const GameSnapshot& before, const GameSnapshot& after);

// An empty board with its two corner squares, Blue to move at turn 1.
void empty_board();
void place(int32_t cell, int32_t row, int32_t col);

// The squares set in `highlight_moves`, in reading order.
std::vector<Square> highlighted();
// The squares `compute_possible_moves` marks for the piece on (row, col).
std::vector<Square> destinations_of(int32_t row, int32_t col);
// The squares holding a piece of `player`, in reading order.
std::vector<Square> pieces_of(int32_t player);

// Lines written to standard output while `body` runs.
template <class Body> std::string stdout_of(Body body)
{
    testing::internal::CaptureStdout();
    body();
    return testing::internal::GetCapturedStdout();
}

// Starts every test from a new game with the opponent off, playing Blue,
// and both lists filled with UNTOUCHED.
class OpponentTest : public testing::Test
{
  protected:
    void SetUp() override;
};
