// Moves that try_move refuses: the result is 0, no global changes and
// nothing is printed.
#include <climits>

#include <gtest/gtest.h>

#include "game_state.hpp"

namespace
{

// A state in the middle of a game, so that a refusal that resets anything
// (a selection, the highlights, a counter) shows up.
void mid_game_state(int32_t player)
{
    current_player = player;
    for (int32_t c = 0; c < BOARD_SIZE; ++c)
        highlight_moves[4][c] = 1;
    has_selection = 1;
    sel_r = 3;
    sel_c = 5;
    turn_count = 17;
    captured_blue_soldiers = 2;
    captured_red_soldiers = 3;
    control_grid[4][4] = CONTROL_RED;
    control_grid[4][5] = CONTROL_BLUE;
}

void expect_refused(int32_t from_row, int32_t from_col, int32_t to_row, int32_t to_col)
{
    const GameState before = snapshot_state();
    std::string printed;
    EXPECT_EQ(try_move_printing(from_row, from_col, to_row, to_col, &printed), 0)
        << "(" << from_row << "," << from_col << ") -> (" << to_row << "," << to_col << ")";
    EXPECT_TRUE(snapshot_state() == before)
        << "state changed by (" << from_row << "," << from_col << ") -> (" << to_row << "," << to_col << ")";
    EXPECT_EQ(printed, "");
    restore_state(before);
}

class RulesRejections : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        new_game_setup();
        mid_game_state(PLAYER_BLUE);
    }
};

} // namespace

TEST_F(RulesRejections, SquaresOffTheBoardAreRefused)
{
    // (2,2) -> (4,2) is legal; each variant puts one coordinate off the board.
    expect_refused(-1, 2, 4, 2);
    expect_refused(9, 2, 4, 2);
    expect_refused(2, -1, 4, 2);
    expect_refused(2, 9, 4, 2);
    expect_refused(2, 2, -1, 2);
    expect_refused(2, 2, 9, 2);
    expect_refused(2, 2, 4, -1);
    expect_refused(2, 2, 4, 9);
    expect_refused(INT_MIN, 2, 4, 2);
    expect_refused(2, 2, INT_MAX, 2);
    expect_refused(2, 2, 2, INT_MIN);
}

TEST_F(RulesRejections, SlidingOffTheBoardAlongAClearLineIsRefused)
{
    clear_board();
    mid_game_state(PLAYER_BLUE);
    put(4, 4, CELL_BLUE_SOLDIER);
    expect_refused(4, 4, 4, 9);
    expect_refused(4, 4, 4, -1);
    expect_refused(4, 4, 9, 4);
    expect_refused(4, 4, -1, 4);
    expect_refused(4, 4, 4, 10);
}

TEST_F(RulesRejections, AnEmptyOriginIsRefused)
{
    expect_refused(4, 4, 4, 5);
    expect_refused(3, 2, 4, 2);
}

TEST_F(RulesRejections, ACornerIsNobodysPiece)
{
    expect_refused(0, 0, 0, 1);
    expect_refused(0, 0, 1, 0);
    expect_refused(8, 8, 8, 7);
    mid_game_state(PLAYER_RED);
    expect_refused(8, 8, 8, 7);
    expect_refused(8, 8, 7, 8);
    expect_refused(0, 0, 0, 1);
}

TEST_F(RulesRejections, APieceOfTheSideNotToMoveIsRefused)
{
    expect_refused(5, 7, 4, 7); // Red soldier on Blue's turn
    expect_refused(7, 7, 7, 8); // Red king on Blue's turn
    mid_game_state(PLAYER_RED);
    expect_refused(2, 2, 4, 2); // Blue soldier on Red's turn
    expect_refused(1, 1, 1, 0); // Blue king on Red's turn
}

TEST_F(RulesRejections, AMoveOntoItsOwnOriginIsRefused)
{
    expect_refused(2, 2, 2, 2);
    expect_refused(1, 1, 1, 1);
}

TEST_F(RulesRejections, AnOccupiedDestinationIsRefused)
{
    expect_refused(2, 2, 1, 2); // own soldier next to it
    expect_refused(1, 1, 1, 2); // king onto own soldier
    clear_board();
    mid_game_state(PLAYER_BLUE);
    put(4, 4, CELL_BLUE_SOLDIER);
    put(4, 5, CELL_RED_SOLDIER);
    put(6, 4, CELL_RED_KING);
    expect_refused(4, 4, 4, 5); // enemy soldier
    expect_refused(4, 4, 6, 4); // enemy king
}

TEST_F(RulesRejections, NeitherCornerIsADestination)
{
    clear_board();
    mid_game_state(PLAYER_BLUE);
    put(0, 4, CELL_BLUE_SOLDIER);
    put(4, 0, CELL_BLUE_KING);
    put(3, 8, CELL_RED_KING);
    put(8, 4, CELL_RED_SOLDIER);
    expect_refused(0, 4, 0, 0); // along row 0, the path is clear
    expect_refused(4, 0, 0, 0); // Blue king up column 0 to its own corner
    mid_game_state(PLAYER_RED);
    expect_refused(3, 8, 8, 8); // Red king down to its own corner
    expect_refused(8, 4, 8, 8); // along row 8
    clear_board();
    put(8, 4, CELL_BLUE_KING);
    put(4, 0, CELL_RED_KING);
    put(3, 8, CELL_BLUE_SOLDIER);
    mid_game_state(PLAYER_BLUE);
    expect_refused(8, 4, 8, 8); // Blue king onto Red's corner
    expect_refused(3, 8, 8, 8);
    mid_game_state(PLAYER_RED);
    expect_refused(4, 0, 0, 0); // Red king onto Blue's corner
}

TEST_F(RulesRejections, ADiagonalMoveIsRefusedEvenOnAClearPath)
{
    expect_refused(2, 2, 3, 3);
    expect_refused(2, 2, 4, 4);
    expect_refused(2, 2, 4, 3); // neither row nor column shared
    clear_board();
    mid_game_state(PLAYER_BLUE);
    put(4, 4, CELL_BLUE_KING);
    expect_refused(4, 4, 5, 5);
    expect_refused(4, 4, 3, 3);
    expect_refused(4, 4, 2, 6);
    expect_refused(4, 4, 6, 2);
}

TEST_F(RulesRejections, NoPieceJumpsOverAnyPiece)
{
    expect_refused(2, 0, 4, 0); // over its own soldier on (3,0)
    expect_refused(1, 1, 1, 4); // king over two own soldiers
    clear_board();
    mid_game_state(PLAYER_BLUE);
    put(4, 1, CELL_BLUE_SOLDIER);
    put(4, 4, CELL_RED_SOLDIER);
    put(1, 1, CELL_BLUE_SOLDIER);
    put(6, 1, CELL_RED_KING);
    expect_refused(4, 1, 4, 5); // over an enemy soldier, landing right behind it
    expect_refused(4, 1, 4, 8);
    expect_refused(4, 1, 8, 1); // over the enemy king
    expect_refused(1, 1, 5, 1); // over its own soldier
}

TEST(RulesMoves, AOneSquareMoveOntoAnEmptyNeighbourIsAccepted)
{
    new_game_setup();
    std::string printed;
    EXPECT_EQ(try_move_printing(2, 2, 3, 2, &printed), 1);
    EXPECT_EQ(board[3][2], CELL_BLUE_SOLDIER);
    EXPECT_EQ(board[2][2], CELL_EMPTY);
    current_player = PLAYER_RED;
    EXPECT_EQ(try_move_printing(7, 7, 7, 8, &printed), 1);
    EXPECT_EQ(board[7][8], CELL_RED_KING);
    EXPECT_EQ(board[7][7], CELL_EMPTY);
}

TEST(RulesMoves, TheRulesNeverChangeTheSideToMoveOrTheTurn)
{
    new_game_setup();
    std::string printed;
    ASSERT_EQ(try_move_printing(2, 2, 4, 2, &printed), 1);
    EXPECT_EQ(current_player, PLAYER_BLUE);
    EXPECT_EQ(turn_count, 1);
    // Blue may even move again: alternation is the caller's business.
    EXPECT_EQ(try_move_printing(4, 2, 4, 6, &printed), 1);
    EXPECT_EQ(current_player, PLAYER_BLUE);
    EXPECT_EQ(turn_count, 1);
}

TEST(RulesMoves, AMoveIsAppliedEvenAfterTheGameIsOver)
{
    new_game_setup();
    red_king_alive = 0;
    turn_count = 80;
    std::string printed;
    EXPECT_EQ(try_move_printing(2, 2, 4, 2, &printed), 1);
    EXPECT_EQ(board[4][2], CELL_BLUE_SOLDIER);
}
