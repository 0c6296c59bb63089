// How long a move takes to reach the other game instance: a server and a
// client on loopback, both on this display, play MOVES moves, each made by
// two presses on one window's board (the two windows take turns), and each
// move's latency runs from the "[LOG]" line of the instance whose board was
// pressed to the same line from the other instance.
//
// Both instances' standard output is read as it arrives, in one poll loop
// that never stops: the presses are made by an xdotool started without
// waiting for it. Every line read in one wake-up of the loop gets the
// CLOCK_MONOTONIC time of that wake-up, so two lines that arrive together
// count as 0 ms apart.
//
// Before each move the tool waits a random while (0 to 99 ms, the same
// draws on every run), so that a receiver that polls its peer at a fixed period is
// caught at every point of that period rather than at one.
//
// The moves are those of bench/back_and_forth.hpp.
//
// Usage: move-latency [MOVES]   (default 40, at most 63)
// Prints each move's latency, then the median, the 90th percentile and the
// maximum, in milliseconds. Exits with 1 when a move does not show in both
// instances within a few seconds.
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "back_and_forth.hpp"
#include "program.hpp"

extern char** environ;

namespace
{

constexpr int MAX_MOVES = 63; // the 64th ends the game and raises its alert
constexpr int MOVE_WAIT_MS = 8000;

double now_ms()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// The "[LOG]" lines of an instance with the time each was read.
struct Instance {
    Program* program;
    GameWindow window;
    std::string partial;
    std::vector<std::pair<double, std::string>> log;
};

// Reads whatever the pipes hold now; whole lines are stamped with `at`.
void read_lines(Instance& in, double at)
{
    Program& p = *in.program;
    char buffer[4096];
    for (int* fd : {&p.out_fd, &p.err_fd}) {
        ssize_t n = -1;
        while (*fd >= 0 && (n = read(*fd, buffer, sizeof buffer)) != 0) {
            if (n < 0)
                break; // nothing more for now (the pipes do not block)
            if (fd == &p.err_fd) {
                p.err.append(buffer, static_cast<size_t>(n));
                continue;
            }
            p.out.append(buffer, static_cast<size_t>(n));
            in.partial.append(buffer, static_cast<size_t>(n));
            for (size_t end; (end = in.partial.find('\n')) != std::string::npos; in.partial.erase(0, end + 1))
                if (in.partial.rfind("[LOG]", 0) == 0)
                    in.log.emplace_back(at, in.partial.substr(0, end));
        }
        if (*fd >= 0 && n == 0) { // the instance has gone
            close(*fd);
            *fd = -1;
        }
    }
}

// Starts the two presses of a move on a window's board and returns xdotool's
// process, or -1. The window is raised first: both windows open at (0,0).
pid_t press_move(const GameWindow& w, Square from, Square to)
{
    const auto x = [&](int col) { return std::to_string(w.board_x - w.rect.x + square_centre_px(col)); };
    const auto y = [&](int row) { return std::to_string(w.board_y - w.rect.y + square_centre_px(row)); };
    std::vector<std::string> args{"xdotool",   "windowraise", w.id,      "mousemove", "--window",  w.id,
                                  x(from.col), y(from.row),   "click",   "1",         "mousemove", "--window",
                                  w.id,        x(to.col),     y(to.row), "click",     "1"};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    return posix_spawnp(&pid, "xdotool", nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

void stop_tool(pid_t& pid)
{
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    pid = -1;
}

// Plays move k from `mover`'s window and waits until both instances have
// logged it; returns the latency in ms, or a negative value on failure.
double play(int k, Instance& mover, Instance& other)
{
    Square from, to;
    move_number(k, from, to);
    const size_t wanted = static_cast<size_t>(k) + 1;
    static std::minstd_rand draws;
    usleep(static_cast<useconds_t>(std::uniform_int_distribution<int>(0, 99)(draws)) * 1000);
    pid_t tool = press_move(mover.window, from, to);
    if (tool < 0) {
        std::fprintf(stderr, "move-latency: cannot start xdotool\n");
        return -1;
    }
    const double deadline = now_ms() + MOVE_WAIT_MS;
    while (tool > 0 || mover.log.size() < wanted || other.log.size() < wanted) {
        if (now_ms() > deadline || mover.program->out_fd < 0 || other.program->out_fd < 0) {
            std::fprintf(
                stderr,
                "move-latency: move %d, (%d,%d) to (%d,%d): logged by the pressed instance %s, by the other %s\n",
                k + 1, from.row, from.col, to.row, to.col, mover.log.size() < wanted ? "no" : "yes",
                other.log.size() < wanted ? "no" : "yes");
            stop_tool(tool);
            return -1;
        }
        std::vector<pollfd> fds;
        for (const Instance* in : {&mover, &other})
            for (const int fd : {in->program->out_fd, in->program->err_fd})
                if (fd >= 0)
                    fds.push_back({fd, POLLIN, 0});
        // While xdotool runs its end is checked every few milliseconds; the
        // lines wake the loop at once either way.
        poll(fds.data(), fds.size(), tool > 0 ? 5 : 100);
        const double at = now_ms();
        read_lines(mover, at);
        read_lines(other, at);
        int status;
        if (tool > 0 && waitpid(tool, &status, WNOHANG) == tool) {
            tool = -1;
            if (status != 0) {
                std::fprintf(stderr, "move-latency: xdotool failed on move %d\n", k + 1);
                return -1;
            }
        }
    }
    const auto& sent = mover.log[k];
    const auto& shown = other.log[k];
    if (sent.second != shown.second || mover.log.size() > wanted || other.log.size() > wanted) {
        std::fprintf(stderr, "move-latency: move %d logged as \"%s\" and \"%s\"\n", k + 1, sent.second.c_str(),
                     shown.second.c_str());
        return -1;
    }
    return shown.first - sent.first;
}

double percentile(std::vector<double> v, double fraction) // nearest rank
{
    std::sort(v.begin(), v.end());
    const size_t rank = static_cast<size_t>(std::ceil(fraction * static_cast<double>(v.size())));
    return v[rank > 0 ? rank - 1 : 0];
}

int run(int moves)
{
    Program* server = nullptr;
    const int port = start_server_program(server);
    Instance s{server, {}, {}, {}};
    if (port < 0 || !open_game_window(*server, s.window)) {
        std::fprintf(stderr, "move-latency: the server did not open its window\n");
        return 1;
    }
    Instance c{&start_program({"-c", "127.0.0.1:" + std::to_string(port)}), {}, {}, {}};
    c.window.id = find_game_window(*c.program);
    if (c.window.id.empty() || !raise_window(c.window.id) || !locate_board(c.window) ||
        !wait_line(*server, "[DEBUG][NETWORK] Client connected!")) {
        std::fprintf(stderr, "move-latency: the client did not connect and open its window\n");
        return 1;
    }

    std::vector<double> latencies;
    for (int k = 0; k < moves; ++k) {
        const double ms = k % 2 == 0 ? play(k, s, c) : play(k, c, s);
        if (ms < 0)
            return 1;
        latencies.push_back(ms);
    }

    std::printf("move latency, ms, moves 1-%d:", moves);
    for (const double ms : latencies)
        std::printf(" %.2f", ms);
    std::printf("\nmedian %.2f ms, p90 %.2f ms, max %.2f ms over %d moves\n", percentile(latencies, 0.5),
                percentile(latencies, 0.9), percentile(latencies, 1.0), moves);
    const int client_status = close_and_wait(*c.program, c.window.id);
    const int server_status = close_and_wait(*server, s.window.id);
    if (client_status != 0 || server_status != 0) {
        std::fprintf(stderr, "move-latency: the instances ended with %d (client) and %d (server)\n", client_status,
                     server_status);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const int moves = argc > 1 ? std::atoi(argv[1]) : 40;
    if (argc > 2 || moves < 1 || moves > MAX_MOVES) {
        std::fprintf(stderr, "usage: %s [MOVES]   (1 to %d, default 40)\n", argv[0], MAX_MOVES);
        return 2;
    }
    const int status = run(moves);
    end_all_programs();
    return status;
}
