// The squares compute_possible_moves flags, checked against the moves
// try_move accepts over many positions of random games, and a count of every
// move sequence from the starting position as a guard against changes to
// the rules.
#include <vector>

#include <gtest/gtest.h>

#include "game_state.hpp"
#include "legal_moves.hpp"

namespace
{

class RulesMoveGeneration : public ::testing::Test
{
  protected:
    void SetUp() override { clear_board(); }
};

Grid flags_at(std::initializer_list<std::pair<int32_t, int32_t>> squares)
{
    Grid grid{};
    for (const auto& [r, c] : squares)
        grid[r][c] = 1;
    return grid;
}

} // namespace

TEST_F(RulesMoveGeneration, FlagsEverySquareUpToTheFirstObstacleInEachDirection)
{
    put(4, 4, CELL_BLUE_SOLDIER);
    put(1, 4, CELL_BLUE_SOLDIER); // own piece above
    put(4, 7, CELL_RED_SOLDIER);  // enemy to the right
    put(6, 4, CELL_RED_KING);     // enemy king below
    compute_possible_moves(4, 4);
    EXPECT_TRUE(highlight_moves == flags_at({{5, 4}, {3, 4}, {2, 4}, {4, 5}, {4, 6}, {4, 3}, {4, 2}, {4, 1}, {4, 0}}));
}

TEST_F(RulesMoveGeneration, AlongRowZeroASlideStopsBeforeTheCorner)
{
    put(0, 5, CELL_BLUE_KING);
    compute_possible_moves(0, 5);
    EXPECT_EQ(highlight_moves[0][0], 0);
    EXPECT_EQ(highlight_moves[0][1], 1);
    std::string printed;
    const GameState before = snapshot_state();
    EXPECT_EQ(try_move_printing(0, 5, 0, 0, &printed), 0);
    EXPECT_EQ(try_move_printing(0, 5, 0, 1, &printed), 1);
    EXPECT_EQ(board[0][1], CELL_BLUE_KING);
    restore_state(before);
    put(4, 0, CELL_BLUE_SOLDIER);
    compute_possible_moves(4, 0);
    EXPECT_EQ(highlight_moves[0][0], 0);
    EXPECT_EQ(highlight_moves[1][0], 1);
}

TEST_F(RulesMoveGeneration, TowardRedsCornerASlideStopsBeforeIt)
{
    current_player = PLAYER_RED;
    put(2, 8, CELL_RED_SOLDIER);
    compute_possible_moves(2, 8);
    EXPECT_EQ(highlight_moves[8][8], 0);
    EXPECT_EQ(highlight_moves[7][8], 1);
    put(8, 3, CELL_RED_KING);
    compute_possible_moves(8, 3);
    Grid column_and_row = flags_at({{8, 4}, {8, 5}, {8, 6}, {8, 7}, {8, 2}, {8, 1}, {8, 0}});
    for (int32_t r = 0; r < 8; ++r)
        column_and_row[r][3] = 1;
    EXPECT_TRUE(highlight_moves == column_and_row);
}

TEST_F(RulesMoveGeneration, NothingIsFlaggedForAnEmptySquareACornerOrAPieceNotToMove)
{
    new_game_setup();
    Grid all_set;
    fill_grid(all_set, 1);
    const int32_t squares[][2] = {{4, 4}, {0, 0}, {8, 8}, {5, 7}, {7, 7}};
    for (const auto& sq : squares) {
        highlight_moves = all_set;
        compute_possible_moves(sq[0], sq[1]);
        EXPECT_EQ(count_flags(highlight_moves), 0) << "square (" << sq[0] << "," << sq[1] << ")";
    }
    current_player = PLAYER_RED;
    highlight_moves = all_set;
    compute_possible_moves(2, 2);
    EXPECT_EQ(count_flags(highlight_moves), 0);
}

TEST_F(RulesMoveGeneration, ASecondSelectionReplacesTheFirstsFlags)
{
    new_game_setup();
    compute_possible_moves(2, 2);
    ASSERT_EQ(highlight_moves[4][2], 1);
    compute_possible_moves(1, 1);
    EXPECT_EQ(highlight_moves[4][2], 0);
    EXPECT_TRUE(highlight_moves == flags_at({{1, 0}, {0, 1}}));
}

TEST_F(RulesMoveGeneration, OnlyTheHighlightsChange)
{
    new_game_setup();
    has_selection = 1;
    sel_r = 2;
    sel_c = 2;
    GameState want = snapshot_state();
    compute_possible_moves(2, 2);
    want.highlight_moves = highlight_moves;
    EXPECT_TRUE(snapshot_state() == want);
}

// ---------------------------------------------------------------------------
// Random games

namespace
{

std::vector<Move> list_moves()
{
    std::vector<Move> moves;
    for_each_move([&moves](const Move& m) { moves.push_back(m); });
    return moves;
}

int32_t side_of(int32_t cell)
{
    return is_blue_piece(cell) ? PLAYER_BLUE : is_red_piece(cell) ? PLAYER_RED : -1;
}

// What the move should remove, by the rule as the players know it: in the
// direction of travel the enemy piece next to the destination falls unless
// its own side stands right behind it; sideways it falls only when the
// mover's side stands right behind it.
Grid expected_removals(const GameState& s, const Move& m)
{
    Grid removed{};
    const int32_t mover = s.current_player;
    const int32_t enemy = other_player(mover);
    const int32_t travel_r = (m.to_row > m.from_row) - (m.to_row < m.from_row);
    const int32_t travel_c = (m.to_col > m.from_col) - (m.to_col < m.from_col);
    for (const auto& d : dirs) {
        const int32_t ar = m.to_row + d[0], ac = m.to_col + d[1];
        const int32_t br = m.to_row + 2 * d[0], bc = m.to_col + 2 * d[1];
        if (!on_board(ar, ac) || side_of(s.board[ar][ac]) != enemy)
            continue;
        const int32_t behind = on_board(br, bc) ? side_of(s.board[br][bc]) : -1;
        const bool ahead = d[0] == travel_r && d[1] == travel_c;
        removed[ar][ac] = ahead ? behind != enemy : behind == mover;
    }
    return removed;
}

// The state after an accepted move must be the move, the mover's mark on the
// destination and exactly the expected removals, each booked once, and the
// move added to the history.
void check_applied(const GameState& before, const Move& m, int64_t& removed_total)
{
    GameState want = before;
    want.move_history[want.move_history_count++] = {m.from_row, m.from_col, m.to_row, m.to_col};
    const int32_t piece = before.board[m.from_row][m.from_col];
    want.board[m.to_row][m.to_col] = piece;
    want.board[m.from_row][m.from_col] = CELL_EMPTY;
    want.control_grid[m.to_row][m.to_col] = before.current_player == PLAYER_BLUE ? CONTROL_BLUE : CONTROL_RED;
    const Grid removed = expected_removals(want, m);
    for (int32_t r = 0; r < BOARD_SIZE; ++r)
        for (int32_t c = 0; c < BOARD_SIZE; ++c) {
            if (!removed[r][c])
                continue;
            const int32_t cell = want.board[r][c];
            want.captured_blue_soldiers += cell == CELL_BLUE_SOLDIER;
            want.captured_red_soldiers += cell == CELL_RED_SOLDIER;
            if (cell == CELL_BLUE_KING)
                want.blue_king_alive = 0;
            if (cell == CELL_RED_KING)
                want.red_king_alive = 0;
            want.board[r][c] = CELL_EMPTY;
            want.control_grid[r][c] = CONTROL_NONE;
            ++removed_total;
        }
    EXPECT_TRUE(snapshot_state() == want)
        << "move (" << m.from_row << "," << m.from_col << ") -> (" << m.to_row << "," << m.to_col << ")";
}

struct PropertyTally {
    int64_t positions = 0;
    int64_t accepted = 0;
    int64_t removed = 0;
};

// For every square of the board: the flags of compute_possible_moves are
// exactly the destinations try_move accepts from it, refusals change nothing
// and accepted moves do just what the rules say.
void check_position(PropertyTally& tally)
{
    const GameState position = snapshot_state();
    for (int32_t r = 0; r < BOARD_SIZE; ++r)
        for (int32_t c = 0; c < BOARD_SIZE; ++c) {
            compute_possible_moves(r, c);
            const GameState flagged = snapshot_state();
            if (!is_piece_of(current_player, board[r][c])) {
                ASSERT_EQ(count_flags(highlight_moves), 0) << "square (" << r << "," << c << ")";
                for (const auto& d : dirs)
                    ASSERT_EQ(try_move(r, c, r + d[0], c + d[1]), 0);
                ASSERT_TRUE(snapshot_state() == flagged);
                continue;
            }
            for (int32_t tr = 0; tr < BOARD_SIZE; ++tr)
                for (int32_t tc = 0; tc < BOARD_SIZE; ++tc) {
                    const int32_t accepted = try_move(r, c, tr, tc);
                    ASSERT_EQ(accepted, flagged.highlight_moves[tr][tc])
                        << "(" << r << "," << c << ") -> (" << tr << "," << tc << ")";
                    if (accepted) {
                        ++tally.accepted;
                        check_applied(flagged, {r, c, tr, tc}, tally.removed);
                        restore_state(flagged);
                    } else {
                        ASSERT_TRUE(snapshot_state() == flagged);
                    }
                }
        }
    restore_state(position);
    ++tally.positions;
}

// Plays random legal games from the starting position, checking every
// position on the way, until the game ends.
void play_random_game(uint64_t seed, PropertyTally& tally)
{
    uint64_t rng = seed * 0x9E3779B97F4A7C15ULL + 1;
    new_game_setup();
    while (!is_game_over()) {
        check_position(tally);
        if (::testing::Test::HasFatalFailure())
            return;
        const std::vector<Move> moves = list_moves();
        if (moves.empty())
            return;
        ASSERT_EQ(play_and_pass(moves[next_random(rng) % moves.size()]), 1);
    }
}

// Counts the move sequences of `depth` moves from the current position, and
// the pieces removed by the last move of each.
int64_t perft(int32_t depth, int64_t& removed_at_last)
{
    if (depth == 0)
        return 1;
    const GameState position = snapshot_state();
    const int32_t pieces = BOARD_SIZE * BOARD_SIZE - count_cells(CELL_EMPTY);
    int64_t sequences = 0;
    for (const Move& m : list_moves()) {
        EXPECT_EQ(play_and_pass(m), 1);
        if (depth == 1)
            removed_at_last += pieces - (BOARD_SIZE * BOARD_SIZE - count_cells(CELL_EMPTY));
        sequences += perft(depth - 1, removed_at_last);
        restore_state(position);
    }
    return sequences;
}

} // namespace

TEST(RulesMoveProperty, FlagsMatchAcceptedMovesOverRandomGames)
{
    PropertyTally tally;
    const int saved = silence_stdout();
    for (uint64_t seed = 1; seed <= 60 && !::testing::Test::HasFatalFailure(); ++seed)
        play_random_game(seed, tally);
    restore_stdout(saved);
    // The games must have reached a fair sample of positions and captures
    // for the check to mean anything.
    EXPECT_GE(tally.positions, 3000);
    EXPECT_GE(tally.removed, 8000);
    std::printf("%lld positions, %lld moves applied, %lld pieces removed\n", static_cast<long long>(tally.positions),
                static_cast<long long>(tally.accepted), static_cast<long long>(tally.removed));
}

TEST(RulesMoveCount, SequencesFromTheStartToThreeMoves)
{
    new_game_setup();
    const int saved = silence_stdout();
    int64_t removed[4] = {};
    const int64_t counts[4] = {1, perft(1, removed[1]), perft(2, removed[2]), perft(3, removed[3])};
    restore_stdout(saved);
    EXPECT_EQ(counts[1], 50);
    EXPECT_EQ(counts[2], 2420);
    EXPECT_EQ(counts[3], 136868);
    EXPECT_EQ(removed[1], 0);
    EXPECT_EQ(removed[2], 32);
    EXPECT_EQ(removed[3], 1712);
    const GameState after = snapshot_state();
    new_game_setup();
    EXPECT_TRUE(after == snapshot_state()) << "counting must leave the starting position as it was";
}
