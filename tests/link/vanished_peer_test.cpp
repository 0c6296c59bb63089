// The link on a network that fails the way real ones do, in a network of the
// test's own (root only; skipped otherwise): a peer whose packets stop with no
// close or reset is let go and the next peer taken, a short gap loses
// nothing, a quiet link outlives a firewall that forgets quiet connections,
// and a client gives up on an address that never answers, or tries the next
// address of the name. The link's probe timings are shortened to a few
// seconds.
#include <chrono>
#include <thread>

#include <unistd.h>

#include "link_support.hpp"
#include "network_faults.hpp"

// Probes after 1 s of quiet, then every second; the peer given up 4 s after
// its last packet, a connect after 1.5 s.
constexpr int SILENCE_LIMIT_MS = 4000;
// Every wait for the link to give a peer up ends by then.
constexpr int DROP_WAIT_MS = 3 * SILENCE_LIMIT_MS;
constexpr char TIMED_OUT_LINE[] = "[ERROR] Network error: Connection timed out\n";

class LinkOnAFaultyNetwork : public CleanLink
{
  protected:
    void SetUp() override
    {
        const std::string missing = enter_own_network();
        if (!missing.empty())
            GTEST_SKIP() << missing;
        CleanLink::SetUp();
        keepalive_idle_s = 1;
        keepalive_interval_s = 1;
        keepalive_probes = 3;
        peer_silence_limit_ms = SILENCE_LIMIT_MS;
        connect_limit_ms = 1500;
    }
};

// Polls the link, waiting on its socket in between, until it reports a move
// (1) or a loss (-1), or `ms` passed (0). Everything printed goes to `printed`.
static int poll_until_news(Printed& printed, int ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    return capture(printed, [deadline] {
        int result = 0;
        while (result == 0 && std::chrono::steady_clock::now() < deadline) {
            if (network_live_socket() >= 0)
                wait_readable(network_live_socket(), 100);
            int from_row, from_col, to_row, to_col;
            result = network_check_move(&from_row, &from_col, &to_row, &to_col);
        }
        return result;
    });
}

static void sleep_ms(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

TEST_F(LinkOnAFaultyNetwork, TheServerLetsASilentPeerGoThenReadsTheWaitingPeersTextsInOrder)
{
    const int first = link_server_with_peer();
    const uint16_t port = local_port(network_socket);
    Printed printed;

    // A gap well within the limit: the text sent into it arrives after it.
    ASSERT_TRUE(cut_port(local_port(first)));
    ASSERT_TRUE(send_bytes(first, "C7C5"));
    sleep_ms(SILENCE_LIMIT_MS / 4);
    ASSERT_TRUE(mend_cuts());
    EXPECT_EQ(poll_until_news(printed, DROP_WAIT_MS), 1);
    EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Received move: C7C5\n");

    // The peer vanishes for good; the next one connects and plays at once.
    ASSERT_TRUE(cut_port(local_port(first)));
    const int second = connect_loopback(port);
    ASSERT_TRUE(send_bytes(second, "G3G4"));
    ASSERT_TRUE(send_bytes(second, "A1B2"));
    EXPECT_EQ(poll_until_news(printed, DROP_WAIT_MS), -1);
    EXPECT_EQ(printed.out, TIMED_OUT_LINE);
    EXPECT_EQ(client_socket, -1);

    EXPECT_EQ(poll_until_news(printed, DROP_WAIT_MS), 1);
    EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Client connected!\n[DEBUG][NETWORK] Received move: G3G4\n");
    EXPECT_EQ(poll_until_news(printed, DROP_WAIT_MS), 1);
    EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Received move: A1B2\n");
    close(first);
    close(second);
}

// Here the client's move into the silence is what stays unacknowledged: it is
// the limit on that, not the probes, that lets the server go.
TEST_F(LinkOnAFaultyNetwork, TheClientLetsASilentServerGoAfterAMoveIntoTheSilence)
{
    uint16_t port = 0;
    const int listener = listen_loopback(&port);
    const int server_end = start_link_client(listener, port);
    ASSERT_TRUE(cut_port(port));
    Printed printed;
    EXPECT_EQ(capture(printed, [] { return network_send_move_async(2, 2, 4, 2); }), 1);
    EXPECT_EQ(poll_until_news(printed, DROP_WAIT_MS), -1);
    EXPECT_EQ(printed.out, TIMED_OUT_LINE);
    EXPECT_EQ(capture(printed, [] { return network_send_move_async(2, 2, 4, 2); }), 0);
    EXPECT_EQ(printed.out + printed.err, "");
    EXPECT_GE(network_socket, 0);
    close(server_end);
    close(listener);
}

// The peer here never probes: the link's own probes keep the connection
// known. A pair of plain sockets beside it shows that the firewall forgets.
TEST_F(LinkOnAFaultyNetwork, AQuietLinkOutlivesAFirewallThatForgetsQuietConnections)
{
    ASSERT_TRUE(forget_quiet_connections(2));
    const int peer = link_server_with_peer();
    uint16_t plain_port = 0;
    const int plain_listener = listen_loopback(&plain_port);
    const int plain = connect_loopback(plain_port);
    const int plain_end = accept_within(plain_listener);

    sleep_ms(5000);
    ASSERT_TRUE(send_bytes(peer, "C7C5"));
    Printed printed;
    EXPECT_EQ(poll_until_news(printed, DROP_WAIT_MS), 1);
    EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Received move: C7C5\n");
    EXPECT_EQ(network_send_move_async(2, 4, 5, 4), 1);
    EXPECT_EQ(read_bytes(peer, 4), "E7E4");

    ASSERT_TRUE(send_bytes(plain, "C7C5"));
    EXPECT_EQ(read_bytes(plain_end, 4, 1000), "");
    for (const int fd : {peer, plain, plain_end, plain_listener})
        close(fd);
}

TEST_F(LinkOnAFaultyNetwork, AClientGivesUpOnAnAddressThatNeverAnswersAsOnARefusal)
{
    uint16_t port = 0;
    const int listener = listen_loopback(&port);
    ASSERT_TRUE(cut_port(port));
    const int fds_before = count_open_fds();
    const auto start = std::chrono::steady_clock::now();
    Printed printed;
    EXPECT_EQ(capture(printed, [port] { return network_init_client("127.0.0.1", port); }), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(printed.out, "[DEBUG][NETWORK] Initializing client to 127.0.0.1:" + std::to_string(port) +
                               "\n[ERROR] Failed to connect to server\n");
    EXPECT_EQ(printed.err, "");
    EXPECT_EQ(count_open_fds(), fds_before);
    expect_nothing_set_up();
    close(listener);
}

// A name with an IPv6 address that never answers and an IPv4 one that does:
// the first gets its share of the limit, then the client connects by the
// second, well within the limit.
TEST_F(LinkOnAFaultyNetwork, AClientWhoseFirstAddressNeverAnswersConnectsByTheNext)
{
    ASSERT_EQ(use_own_hosts_file("::1 both-families\n127.0.0.1 both-families\n"), "");
    uint16_t port = 0;
    const int listener = listen_loopback(&port);
    ASSERT_TRUE(cut_port(port, true));
    const auto start = std::chrono::steady_clock::now();
    Printed printed;
    EXPECT_EQ(capture(printed, [port] { return network_init_client("both-families", port); }), 0) << printed.out;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(connect_limit_ms));
    EXPECT_EQ(printed.err, "");
    close(accept_within(listener));
    close(listener);
}
