// Round trips of a move text between two connected link ends on loopback.
// This process is the server end; a forked child is the client end and sends
// every text it receives straight back. Each end waits for bytes with poll()
// instead of the game's 100 ms timer, so a round trip is the link's own cost
// (two sends, two polls, their log lines) plus the kernel's wake-ups.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include "loopback.hpp"
#include "network.hpp"
#include "standard_output.hpp"

constexpr int WAIT_MS = 2000;
constexpr int ROUND_TRIPS = 20000;

static int wait_for_move(int fd)
{
    int from_row, from_col, to_row, to_col;
    int result = 0;
    while (result == 0 && wait_readable(fd, WAIT_MS))
        result = network_check_move(&from_row, &from_col, &to_row, &to_col);
    return result;
}

// The client end: echoes moves until the server end goes.
[[noreturn]] static void echo_as_client(uint16_t port)
{
    if (network_init_client("127.0.0.1", port) != 0)
        _exit(1);
    int from_row, from_col, to_row, to_col;
    for (;;) {
        if (!wait_readable(network_socket, WAIT_MS))
            _exit(2);
        const int result = network_check_move(&from_row, &from_col, &to_row, &to_col);
        if (result < 0)
            _exit(0);
        if (result == 1)
            network_send_move_async(from_row, from_col, to_row, to_col);
    }
}

static double percentile(std::vector<double> samples, double fraction)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    return samples[static_cast<size_t>(fraction * static_cast<double>(samples.size() - 1))];
}

static void BM_LinkRoundTrip(benchmark::State& state)
{
    // The link's lines go where the game's would on a quiet terminal: nowhere.
    const int saved_stdout = silence_stdout();

    network_init_server(0);
    const pid_t child = fork();
    if (child == 0)
        echo_as_client(local_port(network_socket));
    int from_row, from_col, to_row, to_col;
    while (!is_connected && wait_readable(network_socket, WAIT_MS))
        network_check_move(&from_row, &from_col, &to_row, &to_col); // accepts the peer

    std::vector<double> samples_us;
    samples_us.reserve(ROUND_TRIPS);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        network_send_move_async(2, 4, 5, 4);
        if (wait_for_move(client_socket) != 1) {
            state.SkipWithError("the echo did not come back");
            break;
        }
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(elapsed.count());
        samples_us.push_back(elapsed.count() * 1e6);
    }

    network_cleanup();
    waitpid(child, nullptr, 0);
    restore_stdout(saved_stdout);
    state.counters["p50_us"] = percentile(samples_us, 0.50);
    state.counters["p99_us"] = percentile(samples_us, 0.99);
}
BENCHMARK(BM_LinkRoundTrip)->UseManualTime()->Iterations(ROUND_TRIPS)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    // As in the game: each log line is written as it is printed.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
