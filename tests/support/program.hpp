// Drives the real game program from a test: starts it with its output on
// pipes, reads its lines as they come, waits for its end with a bound, and
// works its windows from outside as a user would (xdotool presses, close
// requests, screenshots read back pixel by pixel). Every wait is bounded.
//
// The paths of the program under test and of the close-window tool, and the
// base application identifier, come from the build as TAVELORN_PROGRAM,
// CLOSE_WINDOW_TOOL and TAVELORN_APP_ID.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "board_look.hpp"
#include "loopback.hpp"

// Bounds of the waits, generous enough for a sanitizer build on a busy machine
constexpr int WINDOW_WAIT_MS = 30000; // a window appears, or its board is drawn
constexpr int LINE_WAIT_MS = 15000;   // an expected line arrives
constexpr int EXIT_WAIT_MS = 20000;   // the program ends
constexpr int QUIET_MS = 600;         // how long "nothing more happens" is watched

// ---------------------------------------------------------------------------
// Programs

// A started program and everything it has written so far. Programs live in a
// pool of the support library until `end_all_programs`, so a test may keep
// references to them and still leave nothing running when it fails early.
struct Program {
    pid_t pid = -1;
    int out_fd = -1;
    int err_fd = -1;
    std::string out; // standard output so far
    std::string err; // standard error so far
    int status = -1; // exit status once ended; 128 + signal when killed
    bool ended = false;
};

// Starts the game program with `args` after its name; argv[0] is the
// program's path unless `argv0` is given. `env` changes the environment it
// inherits: "NAME=value" adds or replaces a variable, a bare "NAME" removes it.
Program& start_program(const std::vector<std::string>& args, const char* argv0 = nullptr,
                       const std::vector<std::string>& env = {});
// Starts another program, looked up on PATH, in the same pool.
Program& start_helper(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
// Waits for the end of the program, gathering its output; kills it when the
// time is up. Returns its exit status, or -1 when it had to be killed.
int wait_exit(Program& p, int timeout_ms = EXIT_WAIT_MS);
// Kills and reaps every program still running, closes every pipe.
void end_all_programs();

// Gathers output for `ms` milliseconds (or until the program has ended).
void read_output_for(Program& p, int ms);
// Reads what the program has written and tells whether it has ended.
bool has_ended(Program& p);
// Waits until standard output holds `line` as a whole line `occurrence` times.
bool wait_line(Program& p, const std::string& line, int timeout_ms = LINE_WAIT_MS, int occurrence = 1);
// Waits until standard error holds `text` `occurrence` times.
bool wait_error_text(Program& p, const std::string& text, int timeout_ms = LINE_WAIT_MS, int occurrence = 1);
// The whole lines of standard output so far, without their line ends.
std::vector<std::string> out_lines(const Program& p);
std::vector<std::string> out_lines_starting(const Program& p, const std::string& prefix);
int count_line(const Program& p, const std::string& line);

// ---------------------------------------------------------------------------
// Windows

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
};

// The program's visible game window (its title starts with "Tavelorn"), or ""
// when none appears in time.
std::string find_game_window(Program& p, int timeout_ms = WINDOW_WAIT_MS);
// Every visible window of the program, leaving out GTK's 1 x 1 helpers.
std::vector<std::string> visible_windows(const Program& p);
std::string window_name(const std::string& id);
Rect window_rect(const std::string& id);
bool move_window(const std::string& id, int x, int y);
bool raise_window(const std::string& id);
// Sends WM_DELETE_WINDOW, as a window manager's close button does.
bool close_window(const std::string& id);

// ---------------------------------------------------------------------------
// Screenshots

struct Image {
    int width = 0, height = 0;
    std::string rgb; // 3 bytes per pixel, row by row
};

bool take_screenshot(Image& image);
Rgb pixel(const Image& image, int x, int y);

// ---------------------------------------------------------------------------
// The game window's board

// A game window and where its board widget's (0, 0) lies on the screen.
struct GameWindow {
    std::string id;
    Rect rect;
    int board_x = 0, board_y = 0;
};

// Waits for the program's game window and for its board on screen.
bool open_game_window(Program& p, GameWindow& w, int timeout_ms = WINDOW_WAIT_MS);
// Reads the window's place again and finds its board anew (after a move).
bool locate_board(GameWindow& w, int timeout_ms = WINDOW_WAIT_MS);

// A pixel of the board, in the board widget's coordinates.
Rgb board_pixel(const Image& image, const GameWindow& w, int bx, int by);
// Presses the board at board-widget coordinates, or at a square's centre.
bool press_board(const GameWindow& w, int bx, int by);
bool press_square(const GameWindow& w, int row, int col);
// Gives the window the keyboard focus and types `keys` (xdotool key names)
// into it, one after the other, through the X test extension.
bool press_keys(const GameWindow& w, const std::vector<std::string>& keys);
// Holds `key` down for `ms` milliseconds, the X server repeating it once
// meanwhile, as a key held on any desktop repeats.
bool hold_key(const GameWindow& w, const std::string& key, int ms);
// The keyboard's cursor on screen: the board's pixels of its colour, all of
// them or those within one square.
int cursor_pixels(const Image& image, const GameWindow& w);
int cursor_pixels(const Image& image, const GameWindow& w, int row, int col);
// Takes screenshots until `seen()` holds of the last one, which stays in
// `image` for more checks.
bool screenshot_until(Image& image, const std::function<bool()>& seen, int timeout_ms = LINE_WAIT_MS);
// The same until the board pixel is near `want`.
bool wait_board_pixel(Image& image, const GameWindow& w, int bx, int by, Rgb want, int timeout_ms = LINE_WAIT_MS);

// Closes the window as a user would and returns the program's exit status.
int close_and_wait(Program& p, const std::string& window_id, int timeout_ms = EXIT_WAIT_MS);

// ---------------------------------------------------------------------------
// A server instance

// Starts `tavelorn -s` on a port nothing uses and waits for it to listen;
// returns its port, or -1 (and `server` then points at the last attempt).
int start_server_program(Program*& server);

// ---------------------------------------------------------------------------
// A flooding peer

// A peer connected to the program that sends one move text over and over, as
// fast as the connection takes it, on a thread of its own. The same thread
// reads the program's output meanwhile: the two lines each received text
// prints are only counted (a program whose pipe is full would stall in its
// printing), every other line goes to the program's output as usual. While
// the thread runs, the test reads that output only through wait_kept_line.
struct FloodingPeer {
    Program* program = nullptr;
    int socket = -1;
    std::string text, received_line, applying_line;
    std::thread thread;
    std::atomic<bool> sending{false}, reading{false};
    std::atomic<long long> bytes_sent{0};
    std::atomic<long long> texts_received{0}, texts_applied{0}; // lines printed for the flood's texts
    std::atomic<long long> lines{0}, line_bytes{0};             // everything printed meanwhile
    std::atomic<bool> flood_over{false};
    std::mutex output_lock;
    ~FloodingPeer();
};

// Starts (or, once reading has stopped, starts again) with every count at 0.
void start_flood(FloodingPeer& f, Program& p, int socket, const std::string& text);
// Stops sending once the last text has gone out whole; returns the number of
// texts sent, or -1 when the last one could not be finished within `ms`.
long long end_flood(FloodingPeer& f, int timeout_ms = LINE_WAIT_MS);
bool wait_kept_line(FloodingPeer& f, const std::string& line, int timeout_ms = LINE_WAIT_MS, int occurrence = 1);
// Ends the thread; the program's output is the test's again.
void stop_reading(FloodingPeer& f);
