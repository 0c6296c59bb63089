// Applied moves: where the piece goes, the control marks, both capture rules
// and the line each move prints. Every case compares the whole state after
// the move with the expected one, so a capture too many shows up as well as
// one too few.
#include <gtest/gtest.h>

#include "game_state.hpp"

namespace
{

// The expected state once the piece on `from` has moved to `to`, before
// anything is captured.
GameState moved(GameState s, int32_t from_row, int32_t from_col, int32_t to_row, int32_t to_col)
{
    s.board[to_row][to_col] = s.board[from_row][from_col];
    s.board[from_row][from_col] = CELL_EMPTY;
    s.control_grid[to_row][to_col] = s.current_player == PLAYER_BLUE ? CONTROL_BLUE : CONTROL_RED;
    return s;
}

void vacate(GameState& s, int32_t row, int32_t col)
{
    s.board[row][col] = CELL_EMPTY;
    s.control_grid[row][col] = CONTROL_NONE;
}

// Plays a move that must be accepted and returns the state it left.
GameState play(int32_t from_row, int32_t from_col, int32_t to_row, int32_t to_col)
{
    std::string printed;
    EXPECT_EQ(try_move_printing(from_row, from_col, to_row, to_col, &printed), 1);
    return snapshot_state();
}

class RulesCaptures : public ::testing::Test
{
  protected:
    void SetUp() override { clear_board(); }
};

using RulesControl = RulesCaptures;

} // namespace

// Sideways: enclosure only

TEST_F(RulesCaptures, EnemySoldierBesideFallsWhenEnclosed)
{
    put(1, 4, CELL_BLUE_SOLDIER);
    put(4, 5, CELL_RED_SOLDIER);
    put(4, 6, CELL_BLUE_SOLDIER);
    GameState want = moved(snapshot_state(), 1, 4, 4, 4);
    vacate(want, 4, 5);
    want.captured_red_soldiers = 1;
    EXPECT_TRUE(play(1, 4, 4, 4) == want);
    EXPECT_EQ(board[4][5], CELL_EMPTY);
    EXPECT_EQ(control_grid[4][5], CONTROL_NONE);
}

TEST_F(RulesCaptures, EnemyKingBesideFallsWhenEnclosed)
{
    put(1, 4, CELL_BLUE_SOLDIER);
    put(4, 5, CELL_RED_KING);
    put(4, 6, CELL_BLUE_SOLDIER);
    GameState want = moved(snapshot_state(), 1, 4, 4, 4);
    vacate(want, 4, 5);
    want.red_king_alive = 0;
    EXPECT_TRUE(play(1, 4, 4, 4) == want);
    EXPECT_EQ(red_king_alive, 0);
    EXPECT_EQ(captured_red_soldiers, 0);
}

TEST_F(RulesCaptures, AKingBehindEnclosesLikeASoldier)
{
    put(1, 4, CELL_BLUE_SOLDIER);
    put(4, 5, CELL_RED_SOLDIER);
    put(4, 6, CELL_BLUE_KING);
    GameState want = moved(snapshot_state(), 1, 4, 4, 4);
    vacate(want, 4, 5);
    want.captured_red_soldiers = 1;
    EXPECT_TRUE(play(1, 4, 4, 4) == want);
}

TEST_F(RulesCaptures, AMovingKingCapturesLikeASoldier)
{
    current_player = PLAYER_RED;
    put(4, 8, CELL_RED_KING);
    put(3, 5, CELL_BLUE_SOLDIER); // beside, enclosed by (2,5)
    put(2, 5, CELL_RED_SOLDIER);
    put(4, 4, CELL_BLUE_KING); // ahead, nothing behind
    GameState want = moved(snapshot_state(), 4, 8, 4, 5);
    vacate(want, 3, 5);
    vacate(want, 4, 4);
    want.captured_blue_soldiers = 1;
    want.blue_king_alive = 0;
    EXPECT_TRUE(play(4, 8, 4, 5) == want);
}

TEST_F(RulesCaptures, EnemyBesideWithNothingBehindStays)
{
    put(1, 4, CELL_BLUE_SOLDIER);
    put(4, 5, CELL_RED_SOLDIER);
    put(4, 3, CELL_RED_SOLDIER);
    put(4, 2, CELL_RED_SOLDIER); // its own side behind
    const GameState want = moved(snapshot_state(), 1, 4, 4, 4);
    EXPECT_TRUE(play(1, 4, 4, 4) == want);
}

TEST_F(RulesCaptures, EnemyBesideACornerIsNotEnclosed)
{
    put(3, 2, CELL_BLUE_SOLDIER);
    put(0, 1, CELL_RED_SOLDIER);
    const GameState want = moved(snapshot_state(), 3, 2, 0, 2);
    EXPECT_TRUE(play(3, 2, 0, 2) == want);
    EXPECT_EQ(board[0][1], CELL_RED_SOLDIER);
}

TEST_F(RulesCaptures, EnemyBesideRedsCornerIsNotEnclosed)
{
    current_player = PLAYER_RED;
    put(5, 6, CELL_RED_SOLDIER);
    put(8, 7, CELL_BLUE_SOLDIER);
    const GameState want = moved(snapshot_state(), 5, 6, 8, 6);
    EXPECT_TRUE(play(5, 6, 8, 6) == want);
}

TEST_F(RulesCaptures, EnemyBesideAgainstTheEdgeIsNotEnclosed)
{
    put(0, 7, CELL_BLUE_SOLDIER);
    put(4, 8, CELL_RED_SOLDIER);
    const GameState want = moved(snapshot_state(), 0, 7, 4, 7);
    EXPECT_TRUE(play(0, 7, 4, 7) == want);
}

// Ahead, in the direction of travel

TEST_F(RulesCaptures, EnemyAheadFallsAgainstTheEdge)
{
    put(5, 4, CELL_BLUE_SOLDIER);
    put(0, 4, CELL_RED_SOLDIER);
    GameState want = moved(snapshot_state(), 5, 4, 1, 4);
    vacate(want, 0, 4);
    want.captured_red_soldiers = 1;
    EXPECT_TRUE(play(5, 4, 1, 4) == want);
}

TEST_F(RulesCaptures, EnemyKingAheadFallsAgainstTheEdge)
{
    put(5, 4, CELL_BLUE_KING);
    put(0, 4, CELL_RED_KING);
    GameState want = moved(snapshot_state(), 5, 4, 1, 4);
    vacate(want, 0, 4);
    want.red_king_alive = 0;
    EXPECT_TRUE(play(5, 4, 1, 4) == want);
}

TEST_F(RulesCaptures, EnemyAheadFallsAgainstACorner)
{
    current_player = PLAYER_RED;
    put(0, 6, CELL_RED_SOLDIER);
    put(0, 1, CELL_BLUE_SOLDIER);
    GameState want = moved(snapshot_state(), 0, 6, 0, 2);
    vacate(want, 0, 1);
    want.captured_blue_soldiers = 1;
    EXPECT_TRUE(play(0, 6, 0, 2) == want);
}

TEST_F(RulesCaptures, EnemyAheadFallsAgainstRedsCorner)
{
    put(2, 8, CELL_BLUE_SOLDIER);
    put(7, 8, CELL_RED_SOLDIER);
    GameState want = moved(snapshot_state(), 2, 8, 6, 8);
    vacate(want, 7, 8);
    want.captured_red_soldiers = 1;
    EXPECT_TRUE(play(2, 8, 6, 8) == want);
}

TEST_F(RulesCaptures, EnemyAheadFallsIntoOpenSpace)
{
    current_player = PLAYER_RED;
    put(0, 3, CELL_RED_SOLDIER);
    put(4, 3, CELL_BLUE_SOLDIER);
    GameState want = moved(snapshot_state(), 0, 3, 3, 3);
    vacate(want, 4, 3);
    want.captured_blue_soldiers = 1;
    EXPECT_TRUE(play(0, 3, 3, 3) == want);
}

TEST_F(RulesCaptures, EnemyAheadWithTheMoverBehindIsBookedOnce)
{
    current_player = PLAYER_RED;
    put(0, 3, CELL_RED_SOLDIER);
    put(4, 3, CELL_BLUE_SOLDIER);
    put(5, 3, CELL_RED_SOLDIER);
    GameState want = moved(snapshot_state(), 0, 3, 3, 3);
    vacate(want, 4, 3);
    want.captured_blue_soldiers = 1;
    EXPECT_TRUE(play(0, 3, 3, 3) == want);
}

TEST_F(RulesCaptures, EnemyAheadWithTheMoversKingBehindFalls)
{
    current_player = PLAYER_RED;
    put(0, 3, CELL_RED_SOLDIER);
    put(4, 3, CELL_BLUE_SOLDIER);
    put(5, 3, CELL_RED_KING);
    GameState want = moved(snapshot_state(), 0, 3, 3, 3);
    vacate(want, 4, 3);
    want.captured_blue_soldiers = 1;
    EXPECT_TRUE(play(0, 3, 3, 3) == want);
}

TEST_F(RulesCaptures, EnemyAheadStandsWhenItsOwnSideIsBehind)
{
    current_player = PLAYER_RED;
    put(0, 3, CELL_RED_SOLDIER);
    put(4, 3, CELL_BLUE_SOLDIER);
    put(5, 3, CELL_BLUE_SOLDIER);
    GameState want = moved(snapshot_state(), 0, 3, 3, 3);
    EXPECT_TRUE(play(0, 3, 3, 3) == want);

    clear_board();
    current_player = PLAYER_RED;
    put(0, 3, CELL_RED_SOLDIER);
    put(4, 3, CELL_BLUE_SOLDIER);
    put(5, 3, CELL_BLUE_KING);
    want = moved(snapshot_state(), 0, 3, 3, 3);
    EXPECT_TRUE(play(0, 3, 3, 3) == want);
}

TEST_F(RulesCaptures, EnemyAheadFallsMovingRightButNotTheOnesBeside)
{
    put(4, 0, CELL_BLUE_SOLDIER);
    put(4, 4, CELL_RED_SOLDIER); // ahead, open space behind
    put(3, 3, CELL_RED_SOLDIER); // beside, open space behind
    put(5, 3, CELL_RED_KING);    // beside, own side behind
    put(6, 3, CELL_RED_SOLDIER);
    GameState want = moved(snapshot_state(), 4, 0, 4, 3);
    vacate(want, 4, 4);
    want.captured_red_soldiers = 1;
    EXPECT_TRUE(play(4, 0, 4, 3) == want);
}

TEST_F(RulesCaptures, NothingFallsBehindTheMover)
{
    put(6, 4, CELL_BLUE_SOLDIER);
    put(7, 4, CELL_RED_SOLDIER); // behind the origin, not next to the destination
    put(8, 4, CELL_BLUE_SOLDIER);
    const GameState want = moved(snapshot_state(), 6, 4, 4, 4);
    EXPECT_TRUE(play(6, 4, 4, 4) == want);
}

// Interplay

TEST_F(RulesCaptures, OneMoveTakesThePieceAheadAndBothEnclosedBeside)
{
    put(1, 4, CELL_BLUE_SOLDIER);
    put(5, 4, CELL_RED_SOLDIER);
    put(4, 3, CELL_RED_SOLDIER);
    put(4, 2, CELL_BLUE_SOLDIER);
    put(4, 5, CELL_RED_KING);
    put(4, 6, CELL_BLUE_KING);
    GameState want = moved(snapshot_state(), 1, 4, 4, 4);
    vacate(want, 5, 4);
    vacate(want, 4, 3);
    vacate(want, 4, 5);
    want.captured_red_soldiers = 2;
    want.red_king_alive = 0;
    EXPECT_TRUE(play(1, 4, 4, 4) == want);
}

TEST_F(RulesCaptures, OneMoveTakesThreeEnclosedSoldiers)
{
    put(1, 4, CELL_BLUE_SOLDIER);
    put(5, 4, CELL_RED_SOLDIER);
    put(6, 4, CELL_BLUE_SOLDIER);
    put(4, 3, CELL_RED_SOLDIER);
    put(4, 2, CELL_BLUE_SOLDIER);
    put(4, 5, CELL_RED_SOLDIER);
    put(4, 6, CELL_BLUE_SOLDIER);
    GameState want = moved(snapshot_state(), 1, 4, 4, 4);
    vacate(want, 5, 4);
    vacate(want, 4, 3);
    vacate(want, 4, 5);
    want.captured_red_soldiers = 3;
    EXPECT_TRUE(play(1, 4, 4, 4) == want);
}

TEST_F(RulesCaptures, APieceMayStopBetweenEnemiesUnharmed)
{
    put(1, 4, CELL_BLUE_SOLDIER);
    put(4, 2, CELL_RED_SOLDIER);
    put(4, 3, CELL_RED_SOLDIER);
    put(4, 5, CELL_RED_KING);
    put(4, 6, CELL_RED_SOLDIER);
    put(5, 4, CELL_RED_SOLDIER);
    put(6, 4, CELL_RED_SOLDIER);
    const GameState want = moved(snapshot_state(), 1, 4, 4, 4);
    EXPECT_TRUE(play(1, 4, 4, 4) == want);
    EXPECT_EQ(board[4][4], CELL_BLUE_SOLDIER);
}

TEST_F(RulesCaptures, OwnPiecesAreNeverRemoved)
{
    put(1, 4, CELL_BLUE_SOLDIER);
    put(5, 4, CELL_BLUE_SOLDIER); // ahead, enemy behind
    put(6, 4, CELL_RED_SOLDIER);
    put(4, 5, CELL_BLUE_KING); // beside, own behind
    put(4, 6, CELL_BLUE_SOLDIER);
    put(4, 3, CELL_BLUE_SOLDIER); // beside, enemy behind
    put(4, 2, CELL_RED_KING);
    GameState want = moved(snapshot_state(), 1, 4, 4, 4);
    EXPECT_TRUE(play(1, 4, 4, 4) == want);

    clear_board();
    put(5, 4, CELL_BLUE_SOLDIER);
    put(0, 4, CELL_BLUE_SOLDIER); // ahead against the edge
    want = moved(snapshot_state(), 5, 4, 1, 4);
    EXPECT_TRUE(play(5, 4, 1, 4) == want);
}

TEST_F(RulesCaptures, CapturesAddUpOverMoves)
{
    put(1, 4, CELL_BLUE_SOLDIER);
    put(0, 7, CELL_RED_SOLDIER);
    put(8, 1, CELL_RED_SOLDIER);
    put(0, 1, CELL_BLUE_SOLDIER);
    play(1, 4, 1, 7); // not ahead: (0,7) is beside, nothing behind it
    EXPECT_EQ(captured_red_soldiers, 0);
    play(1, 7, 4, 7);
    play(4, 7, 1, 7); // up: (0,7) falls against the edge
    EXPECT_EQ(captured_red_soldiers, 1);
    play(0, 1, 7, 1); // down: (8,1) falls against the edge
    EXPECT_EQ(captured_red_soldiers, 2);
    EXPECT_EQ(count_cells(CELL_RED_SOLDIER), 0);
    current_player = PLAYER_RED;
    put(7, 3, CELL_RED_SOLDIER);
    play(7, 3, 7, 2); // left: (7,1) falls, (7,0) is empty
    EXPECT_EQ(captured_blue_soldiers, 1);
    EXPECT_EQ(captured_red_soldiers, 2);
}

// Control marks

TEST_F(RulesControl, DestinationTakesTheMoversMarkOverTheOpponents)
{
    put(4, 1, CELL_BLUE_SOLDIER);
    control_grid[4][6] = CONTROL_RED;
    control_grid[4][3] = CONTROL_RED; // passed over: keeps its mark
    control_grid[4][4] = CONTROL_BLUE;
    GameState want = snapshot_state();
    want.board[4][1] = CELL_EMPTY;
    want.board[4][6] = CELL_BLUE_SOLDIER;
    want.control_grid[4][6] = CONTROL_BLUE;
    EXPECT_TRUE(play(4, 1, 4, 6) == want);
    EXPECT_EQ(control_grid[4][1], CONTROL_BLUE);
    EXPECT_EQ(control_grid[4][3], CONTROL_RED);
}

TEST_F(RulesControl, OriginKeepsWhateverMarkItHad)
{
    current_player = PLAYER_RED;
    put(2, 2, CELL_RED_SOLDIER);
    control_grid[2][2] = CONTROL_BLUE;
    play(2, 2, 2, 7);
    EXPECT_EQ(control_grid[2][2], CONTROL_BLUE);
    EXPECT_EQ(control_grid[2][7], CONTROL_RED);
}

TEST_F(RulesControl, KingsMarkLikeSoldiers)
{
    current_player = PLAYER_RED;
    put(6, 6, CELL_RED_KING);
    control_grid[2][6] = CONTROL_BLUE;
    play(6, 6, 2, 6);
    EXPECT_EQ(control_grid[2][6], CONTROL_RED);
    EXPECT_EQ(control_grid[6][6], CONTROL_RED);
    current_player = PLAYER_BLUE;
    put(1, 1, CELL_BLUE_KING);
    play(1, 1, 1, 5);
    EXPECT_EQ(control_grid[1][5], CONTROL_BLUE);
}

TEST_F(RulesControl, ACapturedPiecesSquareLosesItsMarkAndOthersKeepTheirs)
{
    put(5, 4, CELL_BLUE_SOLDIER);
    put(0, 4, CELL_RED_SOLDIER);
    control_grid[0][3] = CONTROL_RED;
    control_grid[0][5] = CONTROL_BLUE;
    play(5, 4, 1, 4);
    EXPECT_EQ(control_grid[0][4], CONTROL_NONE);
    EXPECT_EQ(control_grid[0][3], CONTROL_RED);
    EXPECT_EQ(control_grid[0][5], CONTROL_BLUE);
}

// The line each applied move prints

namespace
{

// Runs a move and returns what reached file descriptor 1 by the time it
// returned, without flushing stdout from here: the line must be flushed by
// the move itself.
std::string line_of(int32_t from_row, int32_t from_col, int32_t to_row, int32_t to_col)
{
    const OutputCapture capture = begin_capture(STDOUT_FILENO);
    EXPECT_EQ(try_move(from_row, from_col, to_row, to_col), 1);
    return end_capture(capture, false);
}

} // namespace

TEST(RulesLog, BlueSoldierMoveIsPrintedAndFlushedAtOnce)
{
    new_game_setup();
    EXPECT_EQ(line_of(2, 2, 4, 2), "[LOG] Bleu déplace Soldat de (2,2) vers (4,2)\n");
}

TEST(RulesLog, BlueKingMoveNamesTheKing)
{
    new_game_setup();
    EXPECT_EQ(line_of(1, 1, 1, 0), "[LOG] Bleu déplace Roi de (1,1) vers (1,0)\n");
}

TEST(RulesLog, RedSoldierMoveNamesRed)
{
    new_game_setup();
    current_player = PLAYER_RED;
    EXPECT_EQ(line_of(5, 7, 4, 7), "[LOG] Rouge déplace Soldat de (5,7) vers (4,7)\n");
}

TEST(RulesLog, RedKingMoveNamesRedAndTheKing)
{
    new_game_setup();
    current_player = PLAYER_RED;
    EXPECT_EQ(line_of(7, 7, 7, 8), "[LOG] Rouge déplace Roi de (7,7) vers (7,8)\n");
}

TEST(RulesLog, ACaptureAddsNoLine)
{
    clear_board();
    put(1, 4, CELL_BLUE_SOLDIER);
    put(5, 4, CELL_RED_SOLDIER);
    put(4, 3, CELL_RED_SOLDIER);
    put(4, 2, CELL_BLUE_SOLDIER);
    put(4, 5, CELL_RED_KING);
    put(4, 6, CELL_BLUE_SOLDIER);
    EXPECT_EQ(line_of(1, 4, 4, 4), "[LOG] Bleu déplace Soldat de (1,4) vers (4,4)\n");
    EXPECT_EQ(captured_red_soldiers, 2);
}
