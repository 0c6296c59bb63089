// Applied moves: where the piece goes, the control marks, both capture rules
// and the line each move prints. Every case compares the whole state after
// the move with the expected one, so a capture too many shows up as well as
// one too few.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game_state.hpp"

namespace
{

// The expected state once the piece on `from` has moved to `to`, before
// anything is captured: the move is in the history.
GameState moved(GameState s, int32_t from_row, int32_t from_col, int32_t to_row, int32_t to_col)
{
    s.board[to_row][to_col] = s.board[from_row][from_col];
    s.board[from_row][from_col] = CELL_EMPTY;
    s.control_grid[to_row][to_col] = s.current_player == PLAYER_BLUE ? CONTROL_BLUE : CONTROL_RED;
    s.move_history[s.move_history_count++] = {from_row, from_col, to_row, to_col};
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

// One move on a board holding only the listed pieces, and the squares its
// captures empty.
struct Square {
    int32_t row, col;
};
struct Piece {
    int32_t row, col, cell;
};
struct CaptureCase {
    const char* name;
    int32_t mover;
    std::vector<Piece> pieces;
    Square from, to;
    std::vector<Square> falls;
};

constexpr int32_t BS = CELL_BLUE_SOLDIER, BK = CELL_BLUE_KING, RS = CELL_RED_SOLDIER, RK = CELL_RED_KING;
constexpr int32_t BLUE = PLAYER_BLUE, RED = PLAYER_RED;

const CaptureCase CAPTURE_CASES[] = {
    // Sideways: enclosure only
    {"EnemySoldierBesideFallsWhenEnclosed", BLUE, {{1, 4, BS}, {4, 5, RS}, {4, 6, BS}}, {1, 4}, {4, 4}, {{4, 5}}},
    {"EnemyKingBesideFallsWhenEnclosed", BLUE, {{1, 4, BS}, {4, 5, RK}, {4, 6, BS}}, {1, 4}, {4, 4}, {{4, 5}}},
    {"AKingBehindEnclosesLikeASoldier", BLUE, {{1, 4, BS}, {4, 5, RS}, {4, 6, BK}}, {1, 4}, {4, 4}, {{4, 5}}},
    {"AMovingKingCapturesLikeASoldier",
     RED,
     {{4, 8, RK}, {3, 5, BS}, {2, 5, RS}, {4, 4, BK}},
     {4, 8},
     {4, 5},
     {{3, 5}, {4, 4}}},
    {"EnemyBesideWithNothingBehindStays", BLUE, {{1, 4, BS}, {4, 5, RS}, {4, 3, RS}, {4, 2, RS}}, {1, 4}, {4, 4}, {}},
    {"EnemyBesideACornerIsNotEnclosed", BLUE, {{3, 2, BS}, {0, 1, RS}}, {3, 2}, {0, 2}, {}},
    {"EnemyBesideRedsCornerIsNotEnclosed", RED, {{5, 6, RS}, {8, 7, BS}}, {5, 6}, {8, 6}, {}},
    {"EnemyBesideAgainstTheEdgeIsNotEnclosed", BLUE, {{0, 7, BS}, {4, 8, RS}}, {0, 7}, {4, 7}, {}},
    // Ahead, in the direction of travel
    {"EnemyAheadFallsAgainstTheEdge", BLUE, {{5, 4, BS}, {0, 4, RS}}, {5, 4}, {1, 4}, {{0, 4}}},
    {"EnemyKingAheadFallsAgainstTheEdge", BLUE, {{5, 4, BK}, {0, 4, RK}}, {5, 4}, {1, 4}, {{0, 4}}},
    {"EnemyAheadFallsAgainstACorner", RED, {{0, 6, RS}, {0, 1, BS}}, {0, 6}, {0, 2}, {{0, 1}}},
    {"EnemyAheadFallsAgainstRedsCorner", BLUE, {{2, 8, BS}, {7, 8, RS}}, {2, 8}, {6, 8}, {{7, 8}}},
    {"EnemyAheadFallsIntoOpenSpace", RED, {{0, 3, RS}, {4, 3, BS}}, {0, 3}, {3, 3}, {{4, 3}}},
    {"EnemyAheadWithTheMoverBehindIsBookedOnce", RED, {{0, 3, RS}, {4, 3, BS}, {5, 3, RS}}, {0, 3}, {3, 3}, {{4, 3}}},
    {"EnemyAheadWithTheMoversKingBehindFalls", RED, {{0, 3, RS}, {4, 3, BS}, {5, 3, RK}}, {0, 3}, {3, 3}, {{4, 3}}},
    {"EnemyAheadStandsWhenItsOwnSideIsBehind", RED, {{0, 3, RS}, {4, 3, BS}, {5, 3, BS}}, {0, 3}, {3, 3}, {}},
    {"EnemyAheadStandsWhenItsOwnKingIsBehind", RED, {{0, 3, RS}, {4, 3, BS}, {5, 3, BK}}, {0, 3}, {3, 3}, {}},
    // ahead with open space behind; beside with open space and with its own side behind
    {"EnemyAheadFallsMovingRightButNotTheOnesBeside",
     BLUE,
     {{4, 0, BS}, {4, 4, RS}, {3, 3, RS}, {5, 3, RK}, {6, 3, RS}},
     {4, 0},
     {4, 3},
     {{4, 4}}},
    // behind the origin, not next to the destination
    {"NothingFallsBehindTheMover", BLUE, {{6, 4, BS}, {7, 4, RS}, {8, 4, BS}}, {6, 4}, {4, 4}, {}},
    // Interplay
    {"OneMoveTakesThePieceAheadAndBothEnclosedBeside",
     BLUE,
     {{1, 4, BS}, {5, 4, RS}, {4, 3, RS}, {4, 2, BS}, {4, 5, RK}, {4, 6, BK}},
     {1, 4},
     {4, 4},
     {{5, 4}, {4, 3}, {4, 5}}},
    {"OneMoveTakesThreeEnclosedSoldiers",
     BLUE,
     {{1, 4, BS}, {5, 4, RS}, {6, 4, BS}, {4, 3, RS}, {4, 2, BS}, {4, 5, RS}, {4, 6, BS}},
     {1, 4},
     {4, 4},
     {{5, 4}, {4, 3}, {4, 5}}},
    {"APieceMayStopBetweenEnemiesUnharmed",
     BLUE,
     {{1, 4, BS}, {4, 2, RS}, {4, 3, RS}, {4, 5, RK}, {4, 6, RS}, {5, 4, RS}, {6, 4, RS}},
     {1, 4},
     {4, 4},
     {}},
    // ahead with an enemy behind, beside with its own side and with an enemy behind
    {"OwnPiecesAreNeverRemoved",
     BLUE,
     {{1, 4, BS}, {5, 4, BS}, {6, 4, RS}, {4, 5, BK}, {4, 6, BS}, {4, 3, BS}, {4, 2, RK}},
     {1, 4},
     {4, 4},
     {}},
    {"OwnPieceAheadAgainstTheEdgeStays", BLUE, {{5, 4, BS}, {0, 4, BS}}, {5, 4}, {1, 4}, {}},
};

void PrintTo(const CaptureCase& c, std::ostream* out)
{
    *out << c.name;
}

class RulesCaptureCases : public ::testing::TestWithParam<CaptureCase>
{
};

// The whole state after the move is the position with the piece moved and
// marked, the fallen squares emptied and unmarked, and each fallen piece booked.
TEST_P(RulesCaptureCases, RemovesExactlyTheFallenPieces)
{
    const CaptureCase& c = GetParam();
    clear_board();
    current_player = c.mover;
    for (const Piece& p : c.pieces)
        put(p.row, p.col, p.cell);
    GameState want = moved(snapshot_state(), c.from.row, c.from.col, c.to.row, c.to.col);
    for (const Square& sq : c.falls) {
        const int32_t cell = want.board[sq.row][sq.col];
        want.captured_blue_soldiers += cell == BS;
        want.captured_red_soldiers += cell == RS;
        want.blue_king_alive &= cell != BK;
        want.red_king_alive &= cell != RK;
        vacate(want, sq.row, sq.col);
    }
    const GameState got = play(c.from.row, c.from.col, c.to.row, c.to.col);
    expect_same_state(want, got);
}

INSTANTIATE_TEST_SUITE_P(Rules, RulesCaptureCases, ::testing::ValuesIn(CAPTURE_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

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
    const GameState want = moved(snapshot_state(), 4, 1, 4, 6);
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
