// Random legal games played through the rules from the starting position to
// the end: compute_possible_moves lists the moves of the side to move, one is
// drawn uniformly, try_move applies it, and the turn passes as the window's
// turn flow passes it, until is_game_over says the game has ended.
//
// try_move prints one "[LOG]" line per move. main sends standard output to
// /dev/null (freopen) so the figures measure the rules, not a terminal or a
// pipe; the benchmark's own report goes to a copy of the original standard
// output taken before.
#include <cstdint>
#include <cstdio>
#include <ostream>

#include <benchmark/benchmark.h>
#include <ext/stdio_filebuf.h>
#include <unistd.h>

#include "legal_moves.hpp"

namespace
{

// At most 10 pieces a side, each with at most 8 squares along its row and 8
// along its column.
constexpr int32_t MAX_MOVES = 10 * 16;
constexpr uint64_t SEED = 0x7A5E10E2ULL;

// A fixed array, so that listing the moves allocates nothing.
int32_t list_moves(Move (&moves)[MAX_MOVES])
{
    int32_t n = 0;
    for_each_move([&](const Move& m) {
        if (n < MAX_MOVES)
            moves[n++] = m;
    });
    return n;
}

// One whole game; returns the number of moves applied.
int64_t play_random_game(uint64_t& rng)
{
    Move moves[MAX_MOVES];
    int64_t applied = 0;
    new_game_setup();
    while (!is_game_over()) {
        const int32_t n = list_moves(moves);
        if (n == 0)
            break; // a side with no move left: nothing more can happen
        applied += play_and_pass(moves[next_random(rng) % static_cast<uint64_t>(n)]);
    }
    return applied;
}

void BM_RandomGames(benchmark::State& state)
{
    uint64_t rng = SEED;
    int64_t moves = 0;
    int64_t games = 0;
    for (auto _ : state) {
        moves += play_random_game(rng);
        ++games;
    }
    benchmark::DoNotOptimize(board);
    state.counters["moves"] = benchmark::Counter(static_cast<double>(moves), benchmark::Counter::kIsRate);
    state.counters["games"] = benchmark::Counter(static_cast<double>(games), benchmark::Counter::kIsRate);
    state.counters["moves_per_game"] = static_cast<double>(moves) / static_cast<double>(games ? games : 1);
}
BENCHMARK(BM_RandomGames);

} // namespace

int main(int argc, char** argv)
{
    std::fflush(stdout);
    const int report_fd = dup(STDOUT_FILENO);
    if (report_fd < 0 || !std::freopen("/dev/null", "w", stdout)) {
        std::perror("bench_rules: standard output");
        return 1;
    }
    __gnu_cxx::stdio_filebuf<char> report_buffer(report_fd, std::ios::out);
    std::ostream report(&report_buffer);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::BenchmarkReporter* reporter = benchmark::CreateDefaultDisplayReporter();
    reporter->SetOutputStream(&report);
    reporter->SetErrorStream(&report);
    benchmark::RunSpecifiedBenchmarks(reporter);
    benchmark::Shutdown();
    report.flush();
    return 0;
}
