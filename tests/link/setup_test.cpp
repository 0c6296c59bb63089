// Set-up that fails leaves no socket open; clean-up closes each socket once.
#include <string>

#include <sys/socket.h>
#include <unistd.h>

#include "link_support.hpp"

using LinkSetUpFailures = CleanLink;
using LinkCleanup = CleanLink;

// A number that is no dotted address would be read by the resolver as some
// address the player did not mean ("127.1" as 127.0.0.1); these and an
// empty host are refused as they always were, with no name looked up, even
// where a server listens.
TEST_F(LinkSetUpFailures, AnEmptyHostAndNumbersThatAreNoDottedAddressAreRefusedWithoutASocket)
{
    uint16_t port = 0;
    const int listener = listen_loopback(&port);
    const std::string port_text = std::to_string(port);
    for (const char* address : {"127.0.0", "127.1", "0x7f.0.0.1", ""}) {
        const int fds_before = count_open_fds();
        Printed printed;
        EXPECT_EQ(capture(printed, [&] { return network_init_client(address, port); }), -1) << address;
        EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Initializing client to " + std::string(address) + ":" + port_text +
                                   "\n[ERROR] Failed to connect to server\n");
        EXPECT_EQ(printed.err, "") << address;
        EXPECT_EQ(count_open_fds(), fds_before) << address;
        EXPECT_EQ(connect_to(address, port), -1) << address;
        expect_nothing_set_up();
    }
    close(listener);
}

TEST_F(LinkSetUpFailures, ARefusedConnectionClosesItsSocket)
{
    const uint16_t port = unused_port();
    const int fds_before = count_open_fds();
    Printed printed;
    EXPECT_EQ(capture(printed, [port] { return network_init_client("127.0.0.1", port); }), -1);
    EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Initializing client to 127.0.0.1:" + std::to_string(port) +
                               "\n[ERROR] Failed to connect to server\n");
    EXPECT_EQ(connect_to("127.0.0.1", port), -1);
    EXPECT_EQ(count_open_fds(), fds_before);
    expect_nothing_set_up();
}

TEST_F(LinkSetUpFailures, APortInUseClosesTheServersSocket)
{
    uint16_t port = 0;
    const int holder = listen_loopback(&port);
    const int fds_before = count_open_fds();
    Printed printed;
    EXPECT_EQ(capture(printed, [port] { return network_init_server(port); }), -1);
    EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Initializing server on port " + std::to_string(port) +
                               "\n[ERROR] Failed to start server\n");
    EXPECT_EQ(start_server(port), -1);
    EXPECT_EQ(count_open_fds(), fds_before);
    expect_nothing_set_up();
    close(holder);
}

TEST_F(LinkSetUpFailures, HighPortsArePrintedAndBoundAsTheSameNumber)
{
    uint16_t port = unused_port();
    for (int tries = 0; port < 32768 && tries < 100; ++tries)
        port = unused_port();
    ASSERT_GE(port, 32768);
    Printed printed;
    ASSERT_EQ(capture(printed, [port] { return network_init_server(port); }), 0);
    EXPECT_NE(printed.out.find("on port " + std::to_string(port) + "\n"), std::string::npos) << printed.out;
    EXPECT_EQ(local_port(network_socket), port);
}

TEST_F(LinkCleanup, CleanupClosesBothSocketsOnceEvenWhenCalledTwice)
{
    const int peer = link_server_with_peer();
    const int listener = network_socket, accepted = client_socket;
    Printed printed;
    capture(printed, [] {
        network_cleanup();
        return 0;
    });
    EXPECT_EQ(printed.out + printed.err, "");
    expect_nothing_set_up();
    EXPECT_FALSE(fd_is_open(listener));
    EXPECT_FALSE(fd_is_open(accepted));

    // New sockets take the freed numbers: a second clean-up must leave them be.
    const int reuse_a = socket(AF_INET, SOCK_STREAM, 0);
    const int reuse_b = socket(AF_INET, SOCK_STREAM, 0);
    network_cleanup();
    EXPECT_TRUE(fd_is_open(reuse_a));
    EXPECT_TRUE(fd_is_open(reuse_b));
    expect_nothing_set_up();
    close(reuse_a);
    close(reuse_b);
    close(peer);
}

TEST_F(LinkCleanup, CleanupClosesTheSocketOfAClientThatLostItsServer)
{
    uint16_t port = 0;
    const int listener = listen_loopback(&port);
    close(start_link_client(listener, port));
    EXPECT_EQ(poll_link_when_ready(), -1);
    const int kept = network_socket;
    ASSERT_TRUE(fd_is_open(kept));
    network_cleanup();
    EXPECT_FALSE(fd_is_open(kept));
    expect_nothing_set_up();
    close(listener);
}
