// What reaches standard output or error while code under test runs, captured
// into a pipe, or standard output sent to /dev/null for benchmarks.
#pragma once

#include <cstdio>
#include <string>

#include <fcntl.h>
#include <unistd.h>

// A descriptor redirected into a pipe. Only for short outputs: a pipe holds
// 64 KiB and nothing reads it until the capture ends.
struct OutputCapture {
    int fd;
    int saved_fd;
    int read_fd;
};

inline OutputCapture begin_capture(int fd)
{
    std::fflush(fd == STDERR_FILENO ? stderr : stdout);
    int fds[2];
    if (pipe(fds) != 0)
        return {fd, -1, -1};
    const int saved = dup(fd);
    dup2(fds[1], fd);
    close(fds[1]);
    return {fd, saved, fds[0]};
}

// The bytes that reached the descriptor during the capture. With
// `flush_stdio`, whatever still waits in its stdio buffer is pushed out
// first; without it, only what the code under test flushed itself is seen.
inline std::string end_capture(OutputCapture capture, bool flush_stdio)
{
    if (capture.saved_fd < 0)
        return "<capture failed>";
    if (flush_stdio)
        std::fflush(capture.fd == STDERR_FILENO ? stderr : stdout);
    dup2(capture.saved_fd, capture.fd); // closes the pipe's last write end
    close(capture.saved_fd);
    std::string text;
    char chunk[4096];
    ssize_t n;
    while ((n = read(capture.read_fd, chunk, sizeof chunk)) > 0)
        text.append(chunk, static_cast<size_t>(n));
    close(capture.read_fd);
    return text;
}

// What one call printed on each stream.
struct Printed {
    std::string out;
    std::string err;
};

// Runs `call` with standard output and error captured into `printed`, and
// returns its result.
template <typename Call> auto capture(Printed& printed, Call call)
{
    const OutputCapture out = begin_capture(STDOUT_FILENO);
    const OutputCapture err = begin_capture(STDERR_FILENO);
    auto result = call();
    printed.err = end_capture(err, true);
    printed.out = end_capture(out, true);
    return result;
}

// What `body` wrote to standard output.
template <typename Body> std::string stdout_of(Body body)
{
    const OutputCapture out = begin_capture(STDOUT_FILENO);
    body();
    return end_capture(out, true);
}

// Sends standard output to /dev/null for code that prints a line per move;
// returns the descriptor to give back to restore_stdout.
inline int silence_stdout()
{
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int null_fd = open("/dev/null", O_WRONLY);
    dup2(null_fd, STDOUT_FILENO);
    close(null_fd);
    return saved;
}

inline void restore_stdout(int saved)
{
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
}
