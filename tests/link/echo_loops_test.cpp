// The echo loops, each run in a child process of its own since they block
// until their peer goes: what they print, in order, and how they end.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "link_support.hpp"

// A child process running one loop, its standard output and error on pipes.
struct Child {
    pid_t pid = -1;
    int out = -1;
    int err = -1;
};

constexpr unsigned CHILD_LIFETIME_S = 20;

// Runs `loop` in a child, which exits with 0 when it returned 0 and 1 when it
// returned anything else; an alarm ends a child that hangs. Its standard
// output is a pipe, fully buffered: the loops must flush before they wait.
template <typename Loop> static Child spawn(Loop loop)
{
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0)
        return {};
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        close(out[0]);
        close(err[0]);
        alarm(CHILD_LIFETIME_S);
        const int result = loop();
        std::fflush(nullptr);
        _exit(result == 0 ? 0 : 1);
    }
    close(out[1]);
    close(err[1]);
    return {pid, out[0], err[0]};
}

// Reads what the child prints into `text` until `marker` shows up (with no
// marker: until the pipe closes) or the time runs out.
static void read_more(int fd, std::string& text, const std::string& marker = "")
{
    char chunk[256];
    while ((marker.empty() || text.find(marker) == std::string::npos) && wait_readable(fd)) {
        const ssize_t count = read(fd, chunk, sizeof chunk);
        if (count <= 0)
            break;
        text.append(chunk, static_cast<size_t>(count));
    }
}

static std::string read_to_end(int fd)
{
    std::string text;
    read_more(fd, text);
    return text;
}

// The child's exit status, or -1 if it had to be killed.
static int wait_for_exit(const Child& child)
{
    int status = 0;
    for (int waited_ms = 0; waited_ms < WAIT_MS; waited_ms += 10) {
        if (waitpid(child.pid, &status, WNOHANG) == child.pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        usleep(10000);
    }
    kill(child.pid, SIGKILL);
    waitpid(child.pid, &status, 0);
    return -1;
}

static void close_pipes(const Child& child)
{
    close(child.out);
    close(child.err);
}

static std::string server_lines(uint16_t port)
{
    return "[DEBUG][NETWORK] Starting server on port " + std::to_string(port) +
           "\n[DEBUG][NETWORK] Server listening on port " + std::to_string(port) + "\n";
}

// An echo server on a free port, once it listens.
static Child echo_server(uint16_t* port, std::string& out)
{
    *port = unused_port();
    const uint16_t chosen = *port;
    const Child server = spawn([chosen] { return run_server(chosen); });
    read_more(server.out, out, server_lines(chosen));
    EXPECT_EQ(out, server_lines(chosen));
    return server;
}

TEST(LinkEchoLoops, OneClientCycleAgainstTheEchoServerPrintsInOrder)
{
    uint16_t port = 0;
    std::string server_out;
    const Child server = echo_server(&port, server_out);
    const Child client = spawn([port] { return run_client("127.0.0.1", port); });

    std::string client_out;
    read_more(client.out, client_out, "Received echo: A1B2\n");
    kill(client.pid, SIGKILL); // during its pause, before a second cycle
    EXPECT_EQ(wait_for_exit(client), -1);
    EXPECT_EQ(client_out, "[DEBUG][NETWORK] Starting client to 127.0.0.1:" + std::to_string(port) +
                              "\n"
                              "[DEBUG][NETWORK] Connected to server\n"
                              "\nEnvoi du coup: A1B2\n"
                              "[DEBUG][NETWORK] Sent move: A1B2\n"
                              "\nAttente du coup adverse...\n"
                              "Coup reçu: A1B2\n"
                              "[DEBUG][NETWORK] Received echo: A1B2\n");

    server_out += read_to_end(server.out);
    EXPECT_EQ(wait_for_exit(server), 0);
    EXPECT_EQ(server_out, server_lines(port) + "[DEBUG][NETWORK] Client connected\n"
                                               "\nAttente du coup adverse...\n"
                                               "Coup reçu: A1B2\n"
                                               "[DEBUG][NETWORK] Received move: A1B2\n"
                                               "\nEnvoi du coup: A1B2\n"
                                               "\nAttente du coup adverse...\n"
                                               "Coup reçu: \n"
                                               "[DEBUG][NETWORK] Client disconnected\n");
    EXPECT_EQ(read_to_end(server.err) + read_to_end(client.err), "");
    close_pipes(server);
    close_pipes(client);
}

TEST(LinkEchoLoops, TheEchoServerPadsAShortTextWithZeroBytes)
{
    uint16_t port = 0;
    std::string out;
    const Child server = echo_server(&port, out);
    const int peer = connect_loopback(port);
    ASSERT_TRUE(send_bytes(peer, "AB"));
    EXPECT_EQ(read_bytes(peer, 4), std::string("AB\0\0", 4));
    close(peer);
    out += read_to_end(server.out);
    EXPECT_NE(out.find("Coup reçu: AB\n[DEBUG][NETWORK] Received move: AB\n\nEnvoi du coup: AB\n"), std::string::npos)
        << out;
    EXPECT_EQ(wait_for_exit(server), 0);
    close_pipes(server);
}

// The peer sends several texts and leaves without reading a single echo: an
// echo then goes to a closed connection, which must end the loop, not the
// process.
TEST(LinkEchoLoops, TheEchoServerOutlivesAPeerThatLeavesMidExchange)
{
    uint16_t port = 0;
    std::string out;
    const Child server = echo_server(&port, out);
    const int peer = connect_loopback(port);
    ASSERT_TRUE(send_bytes(peer, "A1B2A1B2A1B2A1B2"));
    close(peer);
    out += read_to_end(server.out);
    EXPECT_EQ(wait_for_exit(server), 0) << out;
    const std::string last_line = out.substr(out.rfind('\n', out.size() - 2) + 1);
    EXPECT_TRUE(last_line == "[DEBUG][NETWORK] Client disconnected\n" || last_line == "[ERROR] Failed to send move\n")
        << out;
    close_pipes(server);
}

TEST(LinkEchoLoops, TheClientLoopEndsWhenTheServerGoes)
{
    uint16_t port = 0;
    const int listener = listen_loopback(&port);
    const Child client = spawn([port] { return run_client("127.0.0.1", port); });
    const int server_end = accept_within(listener);
    EXPECT_EQ(read_bytes(server_end, 4), "A1B2");
    close(server_end);
    const std::string out = read_to_end(client.out);
    EXPECT_EQ(wait_for_exit(client), 0);
    EXPECT_NE(out.find("[DEBUG][NETWORK] Sent move: A1B2\n\nAttente du coup adverse...\nCoup reçu: \n"
                       "[DEBUG][NETWORK] Server disconnected\n"),
              std::string::npos)
        << out;
    close_pipes(client);
    close(listener);
}

TEST(LinkEchoLoops, TheClientLoopWithNoServerFailsAtOnce)
{
    const uint16_t port = unused_port();
    Printed printed;
    EXPECT_EQ(capture(printed, [port] { return run_client("127.0.0.1", port); }), -1);
    EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Starting client to 127.0.0.1:" + std::to_string(port) +
                               "\n[ERROR] Failed to connect to server\n");
}

TEST(LinkEchoLoops, TheServerLoopOnAPortInUseFailsAtOnce)
{
    uint16_t port = 0;
    const int holder = listen_loopback(&port);
    const int fds_before = count_open_fds();
    Printed printed;
    EXPECT_EQ(capture(printed, [port] { return run_server(port); }), -1);
    EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Starting server on port " + std::to_string(port) +
                               "\n[ERROR] Failed to start server\n");
    EXPECT_EQ(count_open_fds(), fds_before);
    close(holder);
}
