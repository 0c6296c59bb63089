// The two entry points of the rules, timed on positions of real games:
// compute_possible_moves over every piece of the side to move, and try_move
// applying the move that was played from the position.
//
// The positions come from seeded random games played once, before anything
// is timed; the timed loops only put a recorded position back into the
// globals (a few hundred bytes copied) and call the rules.
//
// try_move prints and flushes one "[LOG]" line per applied move. Standard
// output goes to /dev/null while a benchmark runs, so that the figures
// measure the program, not a terminal or a pipe. BM_LogLineAlone prints and
// flushes the same lines without the rules: its time over BM_TryMove's is the
// line's share of a move (bench/figures.sh prints it).
#include <array>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <benchmark/benchmark.h>

#include "legal_moves.hpp"
#include "standard_output.hpp"

namespace
{

constexpr uint64_t SEED = 0x7A5E10E2ULL;
constexpr int GAMES = 40;

// What try_move reads and writes, the move played from there, and the
// squares of the side to move's pieces.
struct Position {
    Grid board, control_grid;
    int32_t current_player, captured_blue_soldiers, captured_red_soldiers, blue_king_alive, red_king_alive;
    Move played;
    int32_t piece_count;
    std::array<std::array<int32_t, 2>, 10> pieces;
};

std::vector<Position> positions;

void record_positions()
{
    uint64_t rng = SEED;
    std::vector<Move> moves;
    for (int game = 0; game < GAMES; ++game) {
        new_game_setup();
        while (!is_game_over()) {
            moves.clear();
            for_each_move([&](const Move& m) { moves.push_back(m); });
            if (moves.empty())
                break;
            Position p{board,
                       control_grid,
                       current_player,
                       captured_blue_soldiers,
                       captured_red_soldiers,
                       blue_king_alive,
                       red_king_alive,
                       moves[next_random(rng) % moves.size()],
                       0,
                       {}};
            for (int32_t r = 0; r < BOARD_SIZE; ++r)
                for (int32_t c = 0; c < BOARD_SIZE; ++c)
                    if (is_piece_of(current_player, board[r][c]) && p.piece_count < int32_t(p.pieces.size()))
                        p.pieces[p.piece_count++] = {r, c};
            positions.push_back(p);
            play_and_pass(p.played);
        }
    }
}

// The recorded positions one after the other, round and round, each put
// back into the globals the rules read.
const Position& next_position(size_t& at)
{
    const Position& p = positions[at];
    at = at + 1 == positions.size() ? 0 : at + 1;
    board = p.board;
    control_grid = p.control_grid;
    current_player = p.current_player;
    captured_blue_soldiers = p.captured_blue_soldiers;
    captured_red_soldiers = p.captured_red_soldiers;
    blue_king_alive = p.blue_king_alive;
    red_king_alive = p.red_king_alive;
    return p;
}

void BM_ComputePossibleMoves(benchmark::State& state)
{
    size_t at = 0;
    int64_t calls = 0;
    for (auto _ : state) {
        const Position& p = next_position(at);
        for (int32_t k = 0; k < p.piece_count; ++k)
            compute_possible_moves(p.pieces[k][0], p.pieces[k][1]);
        calls += p.piece_count;
    }
    state.counters["per_call"] =
        benchmark::Counter(double(calls), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ComputePossibleMoves);

void BM_TryMove(benchmark::State& state)
{
    const int saved_stdout = silence_stdout();
    size_t at = 0;
    int64_t refused = 0;
    for (auto _ : state) {
        const Position& p = next_position(at);
        refused += !try_move(p.played.from_row, p.played.from_col, p.played.to_row, p.played.to_col);
    }
    restore_stdout(saved_stdout);
    if (refused)
        state.SkipWithError("try_move refused a move that was played from the same position");
}
BENCHMARK(BM_TryMove);

void BM_LogLineAlone(benchmark::State& state)
{
    const int saved_stdout = silence_stdout();
    size_t at = 0;
    for (auto _ : state) {
        const Position& p = next_position(at);
        const Move& m = p.played;
        std::printf("[LOG] %s déplace %s de (%d,%d) vers (%d,%d)\n", p.current_player == PLAYER_BLUE ? "Bleu" : "Rouge",
                    is_king(p.board[m.from_row][m.from_col]) ? "Roi" : "Soldat", m.from_row, m.from_col, m.to_row,
                    m.to_col);
        std::fflush(stdout);
    }
    restore_stdout(saved_stdout);
}
BENCHMARK(BM_LogLineAlone);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const int saved_stdout = silence_stdout();
    record_positions();
    restore_stdout(saved_stdout);
    std::printf("%zu positions from %d random games\n", positions.size(), GAMES);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
