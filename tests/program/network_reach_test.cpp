// How players reach each other, in a network of the test's own (root only;
// skipped otherwise) whose hosts file names localhost for both families and
// ip6-localhost for IPv6 alone: one server port takes IPv6 and IPv4 peers,
// clients find it by address or by name, and a name that is not found ends
// the client in time, saying so.
#include <chrono>

#include <unistd.h>

#include "fixture.hpp"
#include "network_faults.hpp"

class NetworkReach : public ProgramTest
{
  protected:
    void SetUp() override
    {
        std::string missing = enter_own_loopback();
        if (missing.empty())
            missing = use_own_hosts_file("127.0.0.1 localhost\n::1 localhost ip6-localhost\n");
        if (!missing.empty())
            GTEST_SKIP() << missing;
    }
};

TEST_F(NetworkReach, OnePortTakesIpv6AndIpv4PeersFoundByAddressOrName)
{
    Program* server = nullptr;
    const int port = start_server_program(server);
    ASSERT_GT(port, 0) << server->out << server->err;
    GameWindow server_window;
    ASSERT_TRUE(open_game_window(*server, server_window)) << server->out << server->err;
    const int peer = connect_loopback(static_cast<uint16_t>(port), 0, true);
    ASSERT_TRUE(send_bytes(peer, "C7C5"));
    ASSERT_TRUE(wait_line(*server, "[LOG] Bleu déplace Soldat de (2,2) vers (4,2)")) << server->out;
    close(peer);

    // Each client is sent that move and applies it: it reached this server.
    const std::string p = std::to_string(port);
    int peers = 1;
    for (const std::string& address : {"[::1]:" + p, "localhost:" + p, "ip6-localhost:" + p, "127.0.0.1:" + p}) {
        ASSERT_TRUE(wait_line(*server, "[DEBUG][NETWORK] Connection closed", LINE_WAIT_MS, peers++)) << server->out;
        Program& client = start_program({"-c", address});
        EXPECT_TRUE(wait_line(client, "[LOG] Bleu déplace Soldat de (2,2) vers (4,2)")) << address << "\n"
                                                                                        << client.out << client.err;
        EXPECT_EQ(out_lines(client).at(0), "[DEBUG][MAIN] Mode client activé vers " + address);
        EXPECT_EQ(out_lines(client).at(1), "[DEBUG][NETWORK] Initializing client to " + address);
        const std::string id = find_game_window(client);
        ASSERT_NE(id, "") << client.out << client.err;
        expect_clean_close(client, id);
        EXPECT_EQ(client.err, "") << address;
    }
    expect_clean_close(*server, server_window.id);
}

TEST_F(NetworkReach, ANameThatIsNotFoundEndsTheClientInTimeSayingSo)
{
    const auto start = std::chrono::steady_clock::now();
    Program& p = start_program({"-c", "name.invalid:5000"});
    EXPECT_EQ(wait_exit(p, 30000), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(out_lines(p), (std::vector<std::string>{"[DEBUG][MAIN] Mode client activé vers name.invalid:5000",
                                                      "[DEBUG][NETWORK] Initializing client to name.invalid:5000",
                                                      "[ERROR] Failed to connect to server"}));
    const std::string found = "Erreur: Le nom name.invalid est introuvable (";
    const std::string last = ")\nErreur: Impossible de se connecter au serveur\n";
    EXPECT_EQ(p.err.rfind(found, 0), 0u) << p.err;
    EXPECT_TRUE(p.err.size() > found.size() + last.size() && p.err.ends_with(last)) << p.err;
}
