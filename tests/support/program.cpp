// Driving the real game program from a test: processes on pipes, xdotool,
// screenshots and loopback sockets. See program.hpp.
#include "program.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include "network.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <sstream>
#include <string_view>
#include <thread>

extern char** environ;

static std::deque<Program> programs;

// ---------------------------------------------------------------------------
// Time

static long long now_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

static void sleep_ms(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Tries `attempt()` every 100 ms until it succeeds or the time runs out;
// returns whether it succeeded.
template <class Attempt> static bool retry_for(int timeout_ms, Attempt attempt)
{
    const long long deadline = now_ms() + timeout_ms;
    for (;;) {
        if (attempt())
            return true;
        if (now_ms() >= deadline)
            return false;
        sleep_ms(100);
    }
}

// ---------------------------------------------------------------------------
// Processes

// Starts `path` with `argv`, standard output and error on pipes, standard
// input from /dev/null; `search` looks the path up on PATH.
// This process's environment with `env` applied: "NAME=value" adds or
// replaces a variable, a bare "NAME" removes it.
static std::vector<std::string> environment_with(const std::vector<std::string>& env)
{
    std::vector<std::string> merged;
    for (const std::string& change : env)
        if (change.find('=') != std::string::npos)
            merged.push_back(change);
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        const auto changes = [&](const std::string& v) { return v == name || v.rfind(name + "=", 0) == 0; };
        if (std::none_of(env.begin(), env.end(), changes))
            merged.push_back(entry);
    }
    return merged;
}

static std::vector<char*> c_strings(const std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (const std::string& s : strings)
        pointers.push_back(const_cast<char*>(s.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

static bool spawn(Program& p, const std::string& path, const std::vector<std::string>& argv, bool search,
                  const std::vector<std::string>& env = {})
{
    int out_pipe[2], err_pipe[2];
    if (pipe2(out_pipe, O_CLOEXEC) != 0)
        return false;
    if (pipe2(err_pipe, O_CLOEXEC) != 0) {
        close(out_pipe[0]);
        close(out_pipe[1]);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);

    const std::vector<std::string> environment = environment_with(env);
    std::vector<char*> args = c_strings(argv), envp = c_strings(environment);
    const int rc = search ? posix_spawnp(&p.pid, path.c_str(), &actions, nullptr, args.data(), envp.data())
                          : posix_spawn(&p.pid, path.c_str(), &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out_pipe[1]);
    close(err_pipe[1]);
    if (rc != 0) {
        close(out_pipe[0]);
        close(err_pipe[0]);
        p.pid = -1;
        p.ended = true;
        return false;
    }
    p.out_fd = out_pipe[0];
    p.err_fd = err_pipe[0];
    fcntl(p.out_fd, F_SETFL, fcntl(p.out_fd, F_GETFL) | O_NONBLOCK);
    fcntl(p.err_fd, F_SETFL, fcntl(p.err_fd, F_GETFL) | O_NONBLOCK);
    return true;
}

// Reads what the descriptor holds now; closes it at the end of the stream.
static void drain(int& fd, std::string& into)
{
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0) {
            close(fd);
            fd = -1;
        }
        return;
    }
}

static void reap(Program& p)
{
    if (p.ended || p.pid <= 0)
        return;
    int st = 0;
    if (waitpid(p.pid, &st, WNOHANG) != p.pid)
        return;
    p.ended = true;
    p.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
}

// Waits up to `ms` for output, reads it, and notices the end of the program.
static void pump(Program& p, int ms)
{
    pollfd fds[2];
    int n = 0;
    if (p.out_fd >= 0)
        fds[n++] = {p.out_fd, POLLIN, 0};
    if (p.err_fd >= 0)
        fds[n++] = {p.err_fd, POLLIN, 0};
    if (n > 0)
        poll(fds, static_cast<nfds_t>(n), ms);
    else if (!p.ended)
        sleep_ms(ms < 20 ? ms : 20);
    if (p.out_fd >= 0)
        drain(p.out_fd, p.out);
    if (p.err_fd >= 0)
        drain(p.err_fd, p.err);
    reap(p);
}

static void close_pipes(Program& p)
{
    if (p.out_fd >= 0)
        close(p.out_fd);
    if (p.err_fd >= 0)
        close(p.err_fd);
    p.out_fd = p.err_fd = -1;
}

// Output written just before the end may still sit in the pipes.
static void drain_after_end(Program& p)
{
    const long long deadline = now_ms() + 500;
    while ((p.out_fd >= 0 || p.err_fd >= 0) && now_ms() < deadline)
        pump(p, 50);
}

static void kill_program(Program& p)
{
    kill(p.pid, SIGKILL);
    int st = 0;
    waitpid(p.pid, &st, 0);
    p.ended = true;
}

static int wait_end(Program& p, int timeout_ms)
{
    const long long deadline = now_ms() + timeout_ms;
    while (!p.ended && now_ms() < deadline)
        pump(p, 50);
    if (!p.ended) {
        kill_program(p);
        p.status = 128 + SIGKILL;
        close_pipes(p);
        return -1;
    }
    drain_after_end(p);
    close_pipes(p);
    return p.status;
}

// An X server resets when its last client leaves and refuses connections
// while it does: a program started at that moment could not open its window.
// One connection held for the whole run keeps the display up between programs.
static Display* hold_display()
{
    static Display* held = XOpenDisplay(nullptr);
    return held;
}

Program& start_program(const std::vector<std::string>& args, const char* argv0, const std::vector<std::string>& env)
{
    hold_display();
    programs.emplace_back();
    Program& p = programs.back();
    std::vector<std::string> argv{argv0 ? argv0 : TAVELORN_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    spawn(p, TAVELORN_PROGRAM, argv, false, env);
    return p;
}

Program& start_helper(const std::vector<std::string>& argv, const std::vector<std::string>& env)
{
    hold_display();
    programs.emplace_back();
    Program& p = programs.back();
    spawn(p, argv[0], argv, true, env);
    return p;
}

int wait_exit(Program& p, int timeout_ms)
{
    return wait_end(p, timeout_ms);
}

void end_all_programs()
{
    for (Program& p : programs) {
        if (!p.ended && p.pid > 0)
            kill_program(p);
        close_pipes(p);
    }
    programs.clear();
}

void read_output_for(Program& p, int ms)
{
    const long long deadline = now_ms() + ms;
    while (now_ms() < deadline && !(p.ended && p.out_fd < 0 && p.err_fd < 0))
        pump(p, static_cast<int>(deadline - now_ms()));
}

bool has_ended(Program& p)
{
    pump(p, 0);
    if (p.ended)
        drain_after_end(p);
    return p.ended;
}

std::vector<std::string> out_lines(const Program& p)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = p.out.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(p.out.substr(start, end - start));
    return lines;
}

std::vector<std::string> out_lines_starting(const Program& p, const std::string& prefix)
{
    std::vector<std::string> found;
    for (const std::string& line : out_lines(p))
        if (line.rfind(prefix, 0) == 0)
            found.push_back(line);
    return found;
}

int count_line(const Program& p, const std::string& line)
{
    int count = 0;
    for (const std::string& l : out_lines(p))
        count += l == line;
    return count;
}

// Reads the program's output until `seen()` holds, the program ends or the
// time runs out; returns whether `seen()` held.
template <class Seen> static bool wait_output(Program& p, int timeout_ms, Seen seen)
{
    const long long deadline = now_ms() + timeout_ms;
    for (;;) {
        if (seen())
            return true;
        // Once the end is noticed its last output has been read.
        if (p.ended || now_ms() >= deadline)
            return false;
        pump(p, 50);
        if (p.ended)
            drain_after_end(p);
    }
}

bool wait_line(Program& p, const std::string& line, int timeout_ms, int occurrence)
{
    return wait_output(p, timeout_ms, [&] { return count_line(p, line) >= occurrence; });
}

bool wait_error_text(Program& p, const std::string& text, int timeout_ms, int occurrence)
{
    const auto count = [&] {
        int found = 0;
        for (size_t at = p.err.find(text); at != std::string::npos; at = p.err.find(text, at + text.size()))
            ++found;
        return found;
    };
    return wait_output(p, timeout_ms, [&] { return count() >= occurrence; });
}

// Runs a helper tool found on PATH (or by path), waits for its end and returns
// its exit status (-1 on a timeout); its standard output goes to `out`.
static int run_tool(const std::vector<std::string>& argv, std::string* out = nullptr, int timeout_ms = 10000)
{
    hold_display();
    Program tool;
    if (!spawn(tool, argv[0], argv, true))
        return -1;
    const int status = wait_end(tool, timeout_ms);
    if (out)
        *out = tool.out;
    return status;
}

// ---------------------------------------------------------------------------
// Windows

static std::vector<std::string> words(const std::string& text)
{
    std::vector<std::string> found;
    std::istringstream in(text);
    for (std::string w; in >> w;)
        found.push_back(w);
    return found;
}

std::string find_game_window(Program& p, int timeout_ms)
{
    const long long deadline = now_ms() + timeout_ms;
    const std::string pid = std::to_string(p.pid);
    for (;;) {
        std::string out;
        run_tool({"xdotool", "search", "--all", "--onlyvisible", "--pid", pid, "--name", "^Tavelorn"}, &out);
        const std::vector<std::string> ids = words(out);
        if (!ids.empty())
            return ids.front();
        if (now_ms() >= deadline || has_ended(p))
            return "";
        sleep_ms(100);
    }
}

std::vector<std::string> visible_windows(const Program& p)
{
    std::string out;
    run_tool({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(p.pid)}, &out);
    std::vector<std::string> shown;
    for (const std::string& id : words(out)) {
        const Rect r = window_rect(id);
        if (r.width > 1 && r.height > 1)
            shown.push_back(id);
    }
    return shown;
}

std::string window_name(const std::string& id)
{
    std::string out;
    run_tool({"xdotool", "getwindowname", id}, &out);
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

Rect window_rect(const std::string& id)
{
    std::string out;
    Rect r;
    run_tool({"xdotool", "getwindowgeometry", "--shell", id}, &out);
    for (const std::string& w : words(out)) {
        const size_t eq = w.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = w.substr(0, eq);
        const int value = std::atoi(w.c_str() + eq + 1);
        if (key == "X")
            r.x = value;
        else if (key == "Y")
            r.y = value;
        else if (key == "WIDTH")
            r.width = value;
        else if (key == "HEIGHT")
            r.height = value;
    }
    return r;
}

bool move_window(const std::string& id, int x, int y)
{
    return run_tool({"xdotool", "windowmove", "--sync", id, std::to_string(x), std::to_string(y)}) == 0;
}

bool raise_window(const std::string& id)
{
    return run_tool({"xdotool", "windowraise", id}) == 0;
}

// Presses the primary button at window-relative coordinates.
static bool click_window(const std::string& id, int x, int y)
{
    return run_tool({"xdotool", "mousemove", "--window", id, std::to_string(x), std::to_string(y), "click", "1"}) == 0;
}

bool close_window(const std::string& id)
{
    return run_tool({CLOSE_WINDOW_TOOL, id}) == 0;
}

int close_and_wait(Program& p, const std::string& window_id, int timeout_ms)
{
    if (!close_window(window_id))
        return -1;
    return wait_exit(p, timeout_ms);
}

// ---------------------------------------------------------------------------
// Screenshots

static bool screen_size(int* width, int* height)
{
    static int w = 0, h = 0;
    if (w == 0) {
        std::string out;
        run_tool({"xdotool", "getdisplaygeometry"}, &out);
        const std::vector<std::string> dims = words(out);
        if (dims.size() != 2)
            return false;
        w = std::atoi(dims[0].c_str());
        h = std::atoi(dims[1].c_str());
    }
    *width = w;
    *height = h;
    return w > 0 && h > 0;
}

bool take_screenshot(Image& image)
{
    if (!screen_size(&image.width, &image.height))
        return false;
    // The whole screen as raw 8-bit RGB. The command never changes, so it is
    // built once (as a temporary here, g++ 16 misreads the vector's own
    // deallocation as freeing a pointer into it).
    static const std::vector<std::string> import_screen = {"import", "-window", "root", "-depth", "8", "rgb:-"};
    if (run_tool(import_screen, &image.rgb) != 0)
        return false;
    return image.rgb.size() == static_cast<size_t>(image.width) * image.height * 3;
}

Rgb pixel(const Image& image, int x, int y)
{
    if (x < 0 || y < 0 || x >= image.width || y >= image.height)
        return {-1, -1, -1};
    const size_t at = (static_cast<size_t>(y) * image.width + x) * 3;
    const auto byte = [&](size_t i) { return static_cast<int>(static_cast<unsigned char>(image.rgb[at + i])); };
    return {byte(0), byte(1), byte(2)};
}

// ---------------------------------------------------------------------------
// The game window's board

static constexpr int GRID_LENGTH_PX = BOARD_SIZE * CELL_SIZE; // from the first line to the last

static bool is_white(Rgb c)
{
    return c.r >= 250 && c.g >= 250 && c.b >= 250;
}

// The first pixel of a white run at least `length` long in row `y` of the
// rectangle, or -1.
static int white_run(const Image& image, const Rect& area, int y, int length)
{
    int run = 0;
    for (int x = area.x; x < area.x + area.width; ++x) {
        run = is_white(pixel(image, x, y)) ? run + 1 : 0;
        if (run >= length)
            return x - run + 1;
    }
    return -1;
}

// Finds the board of a window in a screenshot by the grid's top line (a run of
// white 468 pixels long, the first such run from the top of the window).
static bool find_board(const Image& image, const Rect& window, int* board_x, int* board_y)
{
    // The grid's top line is 4 pixels wide around y = 30: its first row is 28.
    for (int y = window.y; y < window.y + window.height; ++y) {
        const int x = white_run(image, window, y, GRID_LENGTH_PX - 8);
        if (x < 0)
            continue;
        *board_x = x - BOARD_MARGIN;
        *board_y = y - (BOARD_MARGIN - 2);
        // The left line runs down from there.
        return is_white(pixel(image, *board_x + BOARD_MARGIN - 1, *board_y + BOARD_MARGIN + 100));
    }
    return false;
}

bool locate_board(GameWindow& w, int timeout_ms)
{
    return retry_for(timeout_ms, [&w] {
        Image image;
        w.rect = window_rect(w.id);
        return take_screenshot(image) && find_board(image, w.rect, &w.board_x, &w.board_y);
    });
}

bool open_game_window(Program& p, GameWindow& w, int timeout_ms)
{
    w.id = find_game_window(p, timeout_ms);
    return !w.id.empty() && locate_board(w, timeout_ms);
}

Rgb board_pixel(const Image& image, const GameWindow& w, int bx, int by)
{
    return pixel(image, w.board_x + bx, w.board_y + by);
}

bool press_board(const GameWindow& w, int bx, int by)
{
    return click_window(w.id, w.board_x - w.rect.x + bx, w.board_y - w.rect.y + by);
}

bool press_square(const GameWindow& w, int row, int col)
{
    return press_board(w, square_centre_px(col), square_centre_px(row));
}

bool press_keys(const GameWindow& w, const std::vector<std::string>& keys)
{
    std::vector<std::string> command = {"xdotool", "windowfocus", "--sync", w.id, "key", "--delay", "30"};
    command.insert(command.end(), keys.begin(), keys.end());
    return run_tool(command) == 0;
}

bool hold_key(const GameWindow& w, const std::string& key, int ms)
{
    Display* display = hold_display();
    unsigned delay = 0, interval = 0;
    if (!display || !XkbGetAutoRepeatRate(display, XkbUseCoreKbd, &delay, &interval))
        return false;
    XkbSetAutoRepeatRate(display, XkbUseCoreKbd, ms / 2, 2 * ms);
    XSync(display, False);
    const bool typed = run_tool({"xdotool", "windowfocus", "--sync", w.id, "keydown", key, "sleep",
                                 std::to_string(ms / 1000.0), "keyup", key}) == 0;
    XkbSetAutoRepeatRate(display, XkbUseCoreKbd, delay, interval);
    XSync(display, False);
    return typed;
}

static int count_board_pixels(const Image& image, const GameWindow& w, const Rect& area, Rgb colour)
{
    int count = 0;
    for (int y = area.y; y < area.y + area.height; ++y)
        for (int x = area.x; x < area.x + area.width; ++x)
            count += near(board_pixel(image, w, x, y), colour, 6);
    return count;
}

int cursor_pixels(const Image& image, const GameWindow& w)
{
    return count_board_pixels(image, w, {0, 0, BOARD_PX, BOARD_PX}, CURSOR_YELLOW);
}

int cursor_pixels(const Image& image, const GameWindow& w, int row, int col)
{
    return count_board_pixels(image, w, {square_origin_px(col), square_origin_px(row), CELL_SIZE, CELL_SIZE},
                              CURSOR_YELLOW);
}

bool screenshot_until(Image& image, const std::function<bool()>& seen, int timeout_ms)
{
    return retry_for(timeout_ms, [&] { return take_screenshot(image) && seen(); });
}

bool wait_board_pixel(Image& image, const GameWindow& w, int bx, int by, Rgb want, int timeout_ms)
{
    return screenshot_until(
        image, [&] { return near(board_pixel(image, w, bx, by), want, 6); }, timeout_ms);
}

// ---------------------------------------------------------------------------
// A server instance

int start_server_program(Program*& server)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        const uint16_t port = unused_port();
        Program& p = start_program({"-s", std::to_string(port)});
        server = &p;
        const std::string listening =
            "[DEBUG][NETWORK] Server listening on port " + std::to_string(port) + " (non-blocking)";
        if (wait_line(p, listening))
            return port;
        if (!p.ended)
            return -1;
        // Someone took the port in between: try another.
    }
    return -1;
}

// ---------------------------------------------------------------------------
// A flooding peer

constexpr int FLOOD_BURST_TEXTS = 1024; // texts offered to one send
constexpr int FLOOD_POLL_MS = 20;

// Sends what the socket takes now, from where the last send stopped, so the
// texts stay whole on the wire; once sending should stop, only the rest of
// the text begun.
static void send_some(FloodingPeer& f, const std::string& burst)
{
    const size_t at = static_cast<size_t>(f.bytes_sent % static_cast<long long>(f.text.size()));
    const size_t length = f.sending ? burst.size() - at : f.text.size() - at;
    const ssize_t n = send(f.socket, burst.data() + at, length, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n > 0)
        f.bytes_sent += n;
}

static void sort_lines(FloodingPeer& f, std::string& partial)
{
    size_t start = 0;
    for (size_t end; (end = partial.find('\n', start)) != std::string::npos; start = end + 1) {
        ++f.lines;
        f.line_bytes += static_cast<long long>(end - start + 1);
        const std::string_view line(partial.data() + start, end - start);
        if (line == f.received_line) {
            ++f.texts_received;
        } else if (line == f.applying_line) {
            ++f.texts_applied;
        } else {
            std::lock_guard<std::mutex> hold(f.output_lock);
            f.program->out.append(line).append("\n");
        }
    }
    partial.erase(0, start);
}

static void run_flood(FloodingPeer& f)
{
    std::string burst, partial;
    for (int i = 0; i < FLOOD_BURST_TEXTS; ++i)
        burst += f.text;
    Program& p = *f.program;
    while (f.reading) {
        if (!f.sending && f.bytes_sent % static_cast<long long>(f.text.size()) == 0)
            f.flood_over = true;
        pollfd fds[3] = {{p.out_fd, POLLIN, 0}, {p.err_fd, POLLIN, 0}, {f.flood_over ? -1 : f.socket, POLLOUT, 0}};
        poll(fds, 3, FLOOD_POLL_MS);
        if (fds[2].revents & POLLOUT)
            send_some(f, burst);
        if (p.err_fd >= 0)
            drain(p.err_fd, p.err);
        if (p.out_fd >= 0) {
            drain(p.out_fd, partial);
            sort_lines(f, partial);
        }
    }
    std::lock_guard<std::mutex> hold(f.output_lock);
    p.out += partial;
}

void start_flood(FloodingPeer& f, Program& p, int socket, const std::string& text)
{
    f.program = &p;
    f.socket = socket;
    f.text = text;
    int from_row, from_col, to_row, to_col;
    decode_move_text(text.data(), &from_row, &from_col, &to_row, &to_col);
    char applying[96];
    std::snprintf(applying, sizeof applying, "[DEBUG][GUI] Applying received move: (%d,%d) -> (%d,%d)", from_row,
                  from_col, to_row, to_col);
    f.received_line = "[DEBUG][NETWORK] Received move: " + text;
    f.applying_line = applying;
    f.bytes_sent = f.texts_received = f.texts_applied = f.lines = f.line_bytes = 0;
    f.sending = f.reading = true;
    f.flood_over = false;
    f.thread = std::thread(run_flood, std::ref(f));
}

long long end_flood(FloodingPeer& f, int timeout_ms)
{
    f.sending = false;
    const bool over = retry_for(timeout_ms, [&f] { return f.flood_over.load(); });
    return over ? f.bytes_sent / static_cast<long long>(f.text.size()) : -1;
}

bool wait_kept_line(FloodingPeer& f, const std::string& line, int timeout_ms, int occurrence)
{
    return retry_for(timeout_ms, [&] {
        std::lock_guard<std::mutex> hold(f.output_lock);
        return count_line(*f.program, line) >= occurrence;
    });
}

void stop_reading(FloodingPeer& f)
{
    f.reading = false;
    if (f.thread.joinable())
        f.thread.join();
}

FloodingPeer::~FloodingPeer()
{
    stop_reading(*this);
}
