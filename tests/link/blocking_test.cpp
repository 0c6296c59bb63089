// The blocking primitives: one move text sent or received on a blocking
// socket, with their lines.
#include <csignal>
#include <cstring>
#include <string>
#include <thread>

#include <pthread.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include "link_support.hpp"

// Two blocking ends of one loopback connection.
struct Connection {
    int near = -1;
    int far = -1;
    Connection()
    {
        uint16_t port = 0;
        const int listener = listen_loopback(&port);
        near = connect_loopback(port);
        far = accept_within(listener);
        close(listener);
    }
    ~Connection()
    {
        close(near);
        close(far);
    }
};

TEST(LinkBlockingExchange, SendMoveSendsFourBytesAndPrintsTheText)
{
    Connection connection;
    Printed printed;
    EXPECT_EQ(capture(printed, [&] { return send_move(connection.near, "E7E4"); }), 0);
    EXPECT_EQ(printed.out, "\nEnvoi du coup: E7E4\n");
    EXPECT_EQ(capture(printed, [&] { return send_coords(connection.near, "A1B2"); }), 0);
    EXPECT_EQ(printed.out, "\nEnvoi du coup: A1B2\n");
    EXPECT_EQ(read_bytes(connection.far, 8), "E7E4A1B2");
}

TEST(LinkBlockingExchange, RecvMoveReadsOneTextAndTerminatesIt)
{
    Connection connection;
    ASSERT_TRUE(send_bytes(connection.far, "A1B2C7C5"));
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    Printed printed;
    EXPECT_EQ(capture(printed, [&] { return recv_move(connection.near, buffer, sizeof buffer); }), 4);
    EXPECT_EQ(printed.out, "\nAttente du coup adverse...\nCoup reçu: A1B2\n");
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string("A1B2") + std::string(12, '\0'));
    EXPECT_EQ(capture(printed, [&] { return recv_coords(connection.near, buffer, 5); }), 4);
    EXPECT_STREQ(buffer, "C7C5");
}

TEST(LinkBlockingExchange, RecvMoveWithABufferTooShortReadsNothing)
{
    Connection connection;
    ASSERT_TRUE(send_bytes(connection.far, "E7E4"));
    char buffer[4] = {'x', 'x', 'x', 'x'};
    Printed printed;
    EXPECT_EQ(capture(printed, [&] { return recv_move(connection.near, buffer, 4); }), -1);
    EXPECT_EQ(printed.out, "\nAttente du coup adverse...\n");
    EXPECT_EQ(std::string(buffer, 4), "xxxx");
    EXPECT_EQ(read_bytes(connection.near, 4), "E7E4");
}

TEST(LinkBlockingExchange, RecvMoveReportsAClosedPeerAsAnEmptyText)
{
    Connection connection;
    shutdown(connection.far, SHUT_WR);
    char buffer[16];
    Printed printed;
    EXPECT_EQ(capture(printed, [&] { return recv_move(connection.near, buffer, sizeof buffer); }), 0);
    EXPECT_EQ(printed.out, "\nAttente du coup adverse...\nCoup reçu: \n");
}

TEST(LinkBlockingExchange, RecvMoveReportsAFailedReceive)
{
    uint16_t port = 0;
    const int listener = listen_loopback(&port);
    char buffer[16];
    Printed printed;
    EXPECT_EQ(capture(printed, [&] { return recv_move(listener, buffer, sizeof buffer); }), -1);
    EXPECT_EQ(printed.out, "\nAttente du coup adverse...\n");
    EXPECT_EQ(printed.err, "Erreur réception coup: Transport endpoint is not connected\n");
    close(listener);
}

static void on_alarm(int) {}

TEST(LinkBlockingExchange, RecvMoveInterruptedByASignalKeepsWaiting)
{
    Connection connection;
    struct sigaction action = {};
    action.sa_handler = on_alarm; // no SA_RESTART: the receive sees EINTR
    struct sigaction previous;
    sigaction(SIGALRM, &action, &previous);

    // Only this thread may take the alarm, while it waits in the receive.
    sigset_t alarm_only;
    sigemptyset(&alarm_only);
    sigaddset(&alarm_only, SIGALRM);
    pthread_sigmask(SIG_BLOCK, &alarm_only, nullptr);
    std::thread late_peer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ASSERT_TRUE(send_bytes(connection.far, "E7E4"));
    });
    pthread_sigmask(SIG_UNBLOCK, &alarm_only, nullptr);
    itimerval in_50_ms = {{0, 0}, {0, 50000}};
    setitimer(ITIMER_REAL, &in_50_ms, nullptr);

    char buffer[16];
    Printed printed;
    EXPECT_EQ(capture(printed, [&] { return recv_move(connection.near, buffer, sizeof buffer); }), 4);
    late_peer.join();
    sigaction(SIGALRM, &previous, nullptr);
    EXPECT_EQ(printed.err, "");
    EXPECT_EQ(printed.out, "\nAttente du coup adverse...\nCoup reçu: E7E4\n");
}

TEST(LinkBlockingExchange, SendMoveToAGonePeerFailsAndTheProcessLives)
{
    std::signal(SIGPIPE, SIG_DFL);
    Connection connection;
    close(connection.far);
    connection.far = -1;
    Printed printed;
    int result = 0;
    for (int attempt = 0; attempt < 100 && result == 0; ++attempt) {
        result = capture(printed, [&] { return send_move(connection.near, "E7E4"); });
        if (result == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(result, -1);
    EXPECT_EQ(printed.out, "");
    EXPECT_EQ(printed.err.rfind("Erreur envoi coup: ", 0), 0u) << printed.err;
}

TEST(LinkBlockingExchange, WaitForClientStoresThePeerOrMinusOne)
{
    uint16_t port = 0;
    const int listener = listen_loopback(&port);
    const int near = connect_loopback(port);
    int peer = -5;
    EXPECT_EQ(wait_for_client(listener, &peer), 0);
    EXPECT_GE(peer, 0);
    EXPECT_TRUE(fd_is_open(peer));
    close(peer);
    close(near);

    const int unbound = socket(AF_INET, SOCK_STREAM, 0); // not listening: accept fails at once
    peer = -5;
    EXPECT_EQ(wait_for_client(unbound, &peer), -1);
    EXPECT_EQ(peer, -1);
    close(unbound);
    close(listener);
}
