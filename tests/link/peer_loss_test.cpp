// A peer that goes away: closed or reset, seen by a poll or by a send; the
// server takes the next peer, the client stays disconnected and quiet; a
// second client waits until the first is gone.
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>

#include <unistd.h>

#include "link_support.hpp"

using LinkPeerLoss = CleanLink;
using LinkSendToAGonePeer = CleanLink;
using LinkSecondClient = CleanLink;

// A client link and the server's end of its connection.
static int client_with_server_end(int* listener)
{
    uint16_t port = 0;
    *listener = listen_loopback(&port);
    return start_link_client(*listener, port);
}

static void expect_client_disconnected_and_quiet()
{
    Printed printed;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(capture(printed, [] { return poll_link_when_ready(); }), 0);
        EXPECT_EQ(printed.out + printed.err, "");
        EXPECT_EQ(capture(printed, [] { return network_send_move_async(2, 4, 5, 4); }), 0);
        EXPECT_EQ(printed.out + printed.err, "");
    }
    EXPECT_EQ(is_connected, 0);
    EXPECT_EQ(is_server, 0);
    ASSERT_GE(network_socket, 0); // still open: the window keeps its client title
    EXPECT_TRUE(fd_is_open(network_socket));
}

// Sends until the link reports the failure; the first sends after the peer
// closed usually still succeed.
static int send_until_failure(Printed& printed)
{
    int result = 1;
    for (int attempt = 0; attempt < 100 && result == 1; ++attempt) {
        result = capture(printed, [] { return network_send_move_async(2, 4, 5, 4); });
        if (result == 1)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return result;
}

TEST_F(LinkPeerLoss, TheServerReportsAClosedPeerOnceAndTakesTheNextWithItsStateKept)
{
    const int first = link_server_with_peer();
    const int listener = network_socket;
    close(first);
    Printed printed;
    EXPECT_EQ(capture(printed, [] { return poll_link_when_ready(); }), -1);
    EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Connection closed\n");
    EXPECT_EQ(is_connected, 0);
    EXPECT_EQ(client_socket, -1);
    EXPECT_EQ(capture(printed, [] { return network_check_move(nullptr, nullptr, nullptr, nullptr); }), 0);
    EXPECT_EQ(printed.out, "");

    const int second = connect_loopback(local_port(listener));
    EXPECT_EQ(capture(printed, [] { return poll_link_when_ready(); }), 0);
    EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Client connected!\n");
    EXPECT_EQ(network_socket, listener);
    EXPECT_EQ(is_server, 1);
    ASSERT_TRUE(send_bytes(second, "E7E4"));
    EXPECT_EQ(poll_link_when_ready(), 1);
    close(second);
}

// The system's reasons in German, where its translations and a German
// locale are installed (a package build has neither).
struct SystemInGerman {
    SystemInGerman()
    {
        setenv("LANGUAGE", "de", 1);
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
            std::setlocale(LC_ALL, "C.UTF-8");
    }
    ~SystemInGerman()
    {
        unsetenv("LANGUAGE");
        std::setlocale(LC_ALL, "C");
    }
};

// Standard output is for programs: the reason stays in the C locale's words
// whatever the player's language.
TEST_F(LinkPeerLoss, TheServerReportsAResetPeerOnce)
{
    const SystemInGerman german;
    close_with_reset(link_server_with_peer());
    Printed printed;
    EXPECT_EQ(capture(printed, [] { return poll_link_when_ready(); }), -1);
    EXPECT_EQ(printed.out, "[ERROR] Network error: Connection reset by peer\n");
    EXPECT_EQ(client_socket, -1);
    EXPECT_EQ(capture(printed, [] { return network_check_move(nullptr, nullptr, nullptr, nullptr); }), 0);
    EXPECT_EQ(printed.out, "");
    EXPECT_GE(network_socket, 0);
}

TEST_F(LinkPeerLoss, TheClientReportsAClosedServerOnceThenStaysQuiet)
{
    int listener = -1;
    close(client_with_server_end(&listener));
    Printed printed;
    EXPECT_EQ(capture(printed, [] { return poll_link_when_ready(); }), -1);
    EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Connection closed\n");
    expect_client_disconnected_and_quiet();
    close(listener);
}

TEST_F(LinkPeerLoss, TheClientReportsAResetServerOnceThenStaysQuiet)
{
    int listener = -1;
    close_with_reset(client_with_server_end(&listener));
    Printed printed;
    EXPECT_EQ(capture(printed, [] { return poll_link_when_ready(); }), -1);
    EXPECT_EQ(printed.out, "[ERROR] Network error: Connection reset by peer\n");
    expect_client_disconnected_and_quiet();
    close(listener);
}

// Without protection the failing send raises SIGPIPE, whose default action
// ends this process and the test with it.
TEST_F(LinkSendToAGonePeer, TheServerReportsTheFailureDropsThePeerAndLives)
{
    std::signal(SIGPIPE, SIG_DFL);
    close(link_server_with_peer());
    Printed printed;
    EXPECT_EQ(send_until_failure(printed), -1);
    EXPECT_TRUE(printed.err == "Erreur envoi coup: Broken pipe\n" ||
                printed.err == "Erreur envoi coup: Connection reset by peer\n")
        << printed.err;
    EXPECT_EQ(printed.out, "[ERROR] Failed to send move, disconnecting\n");
    EXPECT_EQ(is_connected, 0);
    EXPECT_EQ(client_socket, -1);
    EXPECT_TRUE(fd_is_open(network_socket));
    EXPECT_EQ(capture(printed, [] { return network_send_move_async(2, 4, 5, 4); }), 0);
    EXPECT_EQ(printed.out, "");
}

TEST_F(LinkSendToAGonePeer, TheClientReportsTheFailureAndStaysQuiet)
{
    std::signal(SIGPIPE, SIG_DFL);
    int listener = -1;
    close(client_with_server_end(&listener));
    Printed printed;
    EXPECT_EQ(send_until_failure(printed), -1);
    EXPECT_EQ(printed.out, "[ERROR] Failed to send move, disconnecting\n");
    EXPECT_NE(printed.err.find("Erreur envoi coup: "), std::string::npos);
    expect_client_disconnected_and_quiet();
    close(listener);
}

TEST_F(LinkSecondClient, ASecondClientWaitsUntilTheFirstIsGone)
{
    const int first = link_server_with_peer();
    const int first_socket = client_socket;
    const int second = connect_loopback(local_port(network_socket));
    ASSERT_GE(second, 0);

    Printed printed;
    EXPECT_EQ(capture(printed, [] { return network_check_move(nullptr, nullptr, nullptr, nullptr); }), 0);
    EXPECT_EQ(capture(printed, [] { return network_send_move_async(2, 4, 5, 4); }), 1);
    EXPECT_EQ(client_socket, first_socket);
    EXPECT_EQ(read_bytes(first, 4), "E7E4");
    EXPECT_EQ(read_bytes(second, 4, 200), "");

    close(first);
    EXPECT_EQ(poll_link_when_ready(), -1);
    EXPECT_EQ(capture(printed, [] { return poll_link_when_ready(); }), 0);
    EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Client connected!\n");
    EXPECT_EQ(network_send_move_async(8, 0, 7, 1), 1);
    EXPECT_EQ(read_bytes(second, 4), "A1B2");
    close(second);
}
