// What reaches standard output while code under test or a benchmark runs:
// captured into a pipe, or sent to /dev/null.
#pragma once

#include <cstdio>
#include <string>

#include <fcntl.h>
#include <unistd.h>

// Standard output redirected into a pipe. Only for short outputs: a pipe
// holds 64 KiB and nothing reads it until the capture ends.
struct StdoutCapture {
    int saved_fd;
    int read_fd;
};

inline StdoutCapture begin_stdout_capture()
{
    std::fflush(stdout);
    int fds[2];
    if (pipe(fds) != 0)
        return {-1, -1};
    const int saved = dup(STDOUT_FILENO);
    dup2(fds[1], STDOUT_FILENO);
    close(fds[1]);
    return {saved, fds[0]};
}

// Returns the bytes that reached file descriptor 1 during the capture. With
// `flush_stdio`, whatever still waits in stdout's buffer is pushed out first;
// without it, only what the code under test flushed itself is seen.
inline std::string end_stdout_capture(StdoutCapture capture, bool flush_stdio)
{
    if (capture.saved_fd < 0)
        return "<capture failed>";
    if (flush_stdio)
        std::fflush(stdout);
    dup2(capture.saved_fd, STDOUT_FILENO); // closes the pipe's last write end
    close(capture.saved_fd);
    std::string text;
    char chunk[4096];
    ssize_t n;
    while ((n = read(capture.read_fd, chunk, sizeof chunk)) > 0)
        text.append(chunk, static_cast<size_t>(n));
    close(capture.read_fd);
    return text;
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
