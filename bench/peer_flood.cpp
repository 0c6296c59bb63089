// How long a move pressed on the board takes to show on screen, with a quiet
// peer and with a peer that floods the game with a refused move text, and how
// fast the game handles that flood.
//
// A server instance on this display and a peer that is a loopback socket of
// this tool. The user of the server plays the moves of bench/back_and_forth.hpp
// by two presses each, made through the X test extension as xdotool makes
// them; each move's time runs from the second press to the moment the
// destination square's centre shows the piece's colour on screen, read with
// XGetImage every POLL_US. Before each move the tool waits
// a random while (0 to 99 ms, the same draws on every run), so that the
// presses fall at every point of the window's frame cycle.
//
// First PRESSES moves with a quiet peer, then PRESSES moves while the peer
// sends "A1A1" as fast as the connection takes it (the flood starts
// FLOOD_LEAD_MS before the first of them). During the flood: the texts the
// game handled and the lines it printed per second, and its resident memory
// at the start and the end. After the flood: how many texts were still on
// the way, and how long until a legal move text the peer sends last is
// applied.
//
// Usage: peer-flood [PRESSES]   (default 12, at most 30)
// Exits with 1 when a move does not show within a few seconds, or when a
// text of the flood was lost or handled twice.
#include <time.h>
#include <unistd.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "back_and_forth.hpp"
#include "network.hpp"
#include "program.hpp"

namespace
{

constexpr int MAX_PRESSES = 30; // both phases and the peer's last move stay within 63 moves
constexpr int SHOW_WAIT_MS = 8000;
constexpr int POLL_US = 500;
constexpr int BETWEEN_PRESSES_MS = 50;
constexpr int FLOOD_LEAD_MS = 1000;
constexpr int BACKLOG_WAIT_MS = 120000;
constexpr int COLOUR_TOLERANCE = 6;

double now_ms()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Presses and releases the primary button at a point of the screen.
void press_at(Display* dpy, int x, int y)
{
    XTestFakeMotionEvent(dpy, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
    XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
    XFlush(dpy);
}

Rgb screen_pixel(Display* dpy, int x, int y)
{
    XImage* image = XGetImage(dpy, DefaultRootWindow(dpy), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return {-1, -1, -1};
    const unsigned long p = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return {static_cast<int>(p >> 16 & 0xFF), static_cast<int>(p >> 8 & 0xFF), static_cast<int>(p & 0xFF)};
}

// Plays move k by presses and returns the time from the second press to the
// piece on screen, or a negative value when it does not show in time.
double press_to_screen(Display* dpy, const GameWindow& w, int k)
{
    static std::minstd_rand draws;
    Square from, to;
    move_number(k, from, to);
    usleep(static_cast<useconds_t>(std::uniform_int_distribution<int>(0, 99)(draws)) * 1000);
    press_at(dpy, w.board_x + square_centre_px(from.col), w.board_y + square_centre_px(from.row));
    usleep(BETWEEN_PRESSES_MS * 1000);
    const Rgb disc = k % 2 == 0 ? BLUE_DISC : RED_DISC;
    const int x = w.board_x + square_centre_px(to.col), y = w.board_y + square_centre_px(to.row);
    const double start = now_ms();
    press_at(dpy, x, y);
    while (now_ms() - start < SHOW_WAIT_MS) {
        if (near(screen_pixel(dpy, x, y), disc, COLOUR_TOLERANCE))
            return now_ms() - start;
        usleep(POLL_US);
    }
    return -1;
}

double percentile(std::vector<double> v, double fraction) // nearest rank
{
    std::sort(v.begin(), v.end());
    const size_t rank = static_cast<size_t>(std::ceil(fraction * static_cast<double>(v.size())));
    return v[rank > 0 ? rank - 1 : 0];
}

void print_times(const char* phase, const std::vector<double>& ms)
{
    std::printf("press to screen, %s, ms:", phase);
    for (const double t : ms)
        std::printf(" %.1f", t);
    std::printf("\n  median %.1f ms, p90 %.1f ms, max %.1f ms over %zu moves\n", percentile(ms, 0.5),
                percentile(ms, 0.9), percentile(ms, 1.0), ms.size());
}

long resident_kib(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string key; status >> key;)
        if (key == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
    return -1;
}

// Plays moves first to last, one time each into `times`; false on a failure.
bool play_moves(Display* dpy, const GameWindow& w, int first, int last, std::vector<double>& times)
{
    for (int k = first; k < last; ++k) {
        const double ms = press_to_screen(dpy, w, k);
        if (ms < 0) {
            std::fprintf(stderr, "peer-flood: move %d did not show on screen\n", k + 1);
            return false;
        }
        times.push_back(ms);
    }
    return true;
}

// Sends the move after `moves` moves as the peer, once the flood is over, and
// returns the seconds until the game has applied it, or -1.
double last_text_applied_after(FloodingPeer& flood, int peer, int moves)
{
    Square from, to;
    move_number(moves, from, to);
    char text[MOVE_TEXT_BYTES + 1];
    encode_move_text(from.row, from.col, to.row, to.col, text);
    char logged[96];
    std::snprintf(logged, sizeof logged, "[LOG] %s déplace Soldat de (%d,%d) vers (%d,%d)",
                  moves % 2 == 0 ? "Bleu" : "Rouge", from.row, from.col, to.row, to.col);
    int before; // the same move was played before
    {
        std::lock_guard<std::mutex> hold(flood.output_lock);
        before = count_line(*flood.program, logged);
    }
    const double sent_at = now_ms();
    if (!send_bytes(peer, text) || !wait_kept_line(flood, logged, BACKLOG_WAIT_MS, before + 1))
        return -1;
    return (now_ms() - sent_at) / 1e3;
}

// The second series of moves with the peer flooding the game, then what the
// flood left behind.
bool flood_phase(Program& server, const GameWindow& w, Display* dpy, int peer, int presses)
{
    FloodingPeer flood;
    start_flood(flood, server, peer, "A1A1");
    usleep(FLOOD_LEAD_MS * 1000);
    const long rss_start = resident_kib(server.pid);
    const long long texts_start = flood.texts_received, lines_start = flood.lines, bytes_start = flood.line_bytes;
    const double start = now_ms();
    std::vector<double> times;
    if (!play_moves(dpy, w, presses, 2 * presses, times))
        return false;
    const double seconds = (now_ms() - start) / 1e3;
    const long long texts = flood.texts_received - texts_start, lines = flood.lines - lines_start,
                    bytes = flood.line_bytes - bytes_start;
    const long rss_end = resident_kib(server.pid);
    print_times("peer flooding", times);
    std::printf("during the flood (%.1f s): %.0f texts/s handled, %.0f lines/s printed (%.1f MB/s); resident memory "
                "%ld KiB at its start, %ld KiB at its end\n",
                seconds, texts / seconds, lines / seconds, bytes / seconds / 1e6, rss_start, rss_end);

    const long long sent = end_flood(flood);
    const long long waiting = sent - flood.texts_received;
    const double backlog_s = sent < 0 ? -1 : last_text_applied_after(flood, peer, 2 * presses);
    stop_reading(flood);
    std::printf("after the flood: %lld of %lld texts still on the way; the peer's legal text sent last applied "
                "after %.1f s\n",
                waiting, sent, backlog_s);
    if (backlog_s < 0 || flood.texts_received != sent || flood.texts_applied != sent) {
        std::fprintf(stderr, "peer-flood: %lld texts sent, %lld received, %lld applied, last text %s\n", sent,
                     flood.texts_received.load(), flood.texts_applied.load(),
                     backlog_s < 0 ? "not applied" : "applied");
        return false;
    }
    return true;
}

int run(int presses)
{
    Program* server = nullptr;
    const int port = start_server_program(server);
    GameWindow w;
    if (port < 0 || !open_game_window(*server, w)) {
        std::fprintf(stderr, "peer-flood: the server did not open its window\n");
        return 1;
    }
    const int peer = connect_loopback(static_cast<uint16_t>(port), LINE_WAIT_MS);
    Display* dpy = XOpenDisplay(nullptr);
    if (peer < 0 || !dpy || !wait_line(*server, "[DEBUG][NETWORK] Client connected!")) {
        std::fprintf(stderr, "peer-flood: no peer connected\n");
        return 1;
    }

    std::vector<double> quiet;
    if (!play_moves(dpy, w, 0, presses, quiet))
        return 1;
    has_ended(*server); // the quiet moves' lines, before the flood's reader takes the pipe
    print_times("quiet peer", quiet);
    const bool flooded = flood_phase(*server, w, dpy, peer, presses);
    XCloseDisplay(dpy);
    close(peer);
    if (!flooded)
        return 1;
    const int status = close_and_wait(*server, w.id);
    if (status != 0) {
        std::fprintf(stderr, "peer-flood: the server ended with %d\n", status);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as soon as it is known
    const int presses = argc > 1 ? std::atoi(argv[1]) : 12;
    if (argc > 2 || presses < 1 || presses > MAX_PRESSES) {
        std::fprintf(stderr, "usage: %s [PRESSES]   (1 to %d, default 12)\n", argv[0], MAX_PRESSES);
        return 2;
    }
    const int status = run(presses);
    end_all_programs();
    return status;
}
