// The command line of the real program: usage and start-up errors with their
// exact texts and status, the port and address rules read back from the mode
// line, and first arguments that are not a mode starting a local game.
#include <unistd.h>

#include <cstdlib>

#include "fixture.hpp"

using Lines = std::vector<std::string>;

static const std::string LAUNCH = "[DEBUG][MAIN] Lancement de l'application GTK avec ID: ";

// ---------------------------------------------------------------------------
// Usage errors: one text on standard error, nothing on standard output

using CommandLineUsage = ProgramTest;

TEST_F(CommandLineUsage, NoArgumentPrintsTheUsageWithTheNameAsInvoked)
{
    Program& p = start_program({}, "./tavelorn-as-typed");
    EXPECT_EQ(wait_exit(p), 1);
    EXPECT_EQ(p.err, "Usage:\n  ./tavelorn-as-typed -l\n  ./tavelorn-as-typed -s <port>\n"
                     "  ./tavelorn-as-typed -c <ip:port>\n");
    EXPECT_EQ(p.out, "");
}

TEST_F(CommandLineUsage, ServerWithoutExactlyOnePortPrintsItsUsage)
{
    for (const Lines& args : {Lines{"-s"}, Lines{"-s", "5000", "6000"}}) {
        Program& p = start_program(args, "tavelorn");
        EXPECT_EQ(wait_exit(p), 1) << args.size();
        EXPECT_EQ(p.err, "Usage: tavelorn -s <port>\n");
        EXPECT_EQ(p.out, "");
    }
}

TEST_F(CommandLineUsage, ClientWithoutExactlyOneAddressPrintsItsUsage)
{
    for (const Lines& args : {Lines{"-c"}, Lines{"-c", "127.0.0.1:5000", "x"}}) {
        Program& p = start_program(args, "tavelorn");
        EXPECT_EQ(wait_exit(p), 1) << args.size();
        EXPECT_EQ(p.err, "Usage: tavelorn -c <ip:port>\n");
        EXPECT_EQ(p.out, "");
    }
}

// An IPv6 address in brackets needs its port after the closing bracket.
TEST_F(CommandLineUsage, ClientAddressWithoutAPortIsRefusedBeforeTheNetwork)
{
    for (const char* address : {"127.0.0.1", "[::1]", "[::1]5000", "[::1:5000"}) {
        Program& p = start_program({"-c", address});
        EXPECT_EQ(wait_exit(p), 1) << address;
        EXPECT_EQ(p.err, "Format attendu: <ip:port>\n") << address;
        EXPECT_EQ(p.out, "") << address; // no mode line, no network line
    }
}

// ---------------------------------------------------------------------------
// Start-up failures: the mode line and the link's lines, then the error

using CommandLineStartFailures = ProgramTest;

TEST_F(CommandLineStartFailures, ServerWhosePortIsTakenEndsWithItsError)
{
    uint16_t port = 0;
    const int taken = listen_loopback(&port);
    ASSERT_GE(taken, 0);
    const std::string n = std::to_string(port);
    Program& p = start_program({"-s", n});
    EXPECT_EQ(wait_exit(p), 1);
    close(taken);
    EXPECT_EQ(out_lines(p),
              (Lines{"[DEBUG][MAIN] Mode serveur activé sur port " + n,
                     "[DEBUG][NETWORK] Initializing server on port " + n, "[ERROR] Failed to start server"}));
    EXPECT_EQ(p.err, "Erreur: Impossible de démarrer le serveur\n");
}

// The sentence on standard error is the player's language, the lines on
// standard output are the same in every one: French, the game's own, under
// C.UTF-8; German under a locale made as a player makes one; English through
// LANGUAGE, before that locale's German.
TEST_F(CommandLineStartFailures, RefusedClientEndsWithItsErrorInThePlayersLanguage)
{
    ASSERT_TRUE(locale_is_made("de_DE.UTF-8")) << "scripts/install-deps.sh test makes the locale";
    const std::string n = std::to_string(unused_port());
    const struct {
        std::vector<std::string> env;
        const char* error;
    } players[] = {{players_locale("C.UTF-8"), "Erreur: Impossible de se connecter au serveur\n"},
                   {players_locale("de_DE.UTF-8"), "Fehler: Keine Verbindung zum Server möglich\n"},
                   {players_locale("de_DE.UTF-8", "en"), "Error: Could not connect to the server\n"}};
    for (const auto& player : players) {
        Program& p = start_program({"-c", "127.0.0.1:" + n}, nullptr, player.env);
        EXPECT_EQ(wait_exit(p), 1);
        EXPECT_EQ(out_lines(p), (Lines{"[DEBUG][MAIN] Mode client activé vers 127.0.0.1:" + n,
                                       "[DEBUG][NETWORK] Initializing client to 127.0.0.1:" + n,
                                       "[ERROR] Failed to connect to server"}));
        EXPECT_EQ(p.err, player.error);
    }
}

TEST_F(CommandLineStartFailures, EmptyHostIsRefusedByTheLink)
{
    Program& p = start_program({"-c", ":5000"});
    EXPECT_EQ(wait_exit(p), 1);
    EXPECT_EQ(out_lines(p),
              (Lines{"[DEBUG][MAIN] Mode client activé vers :5000", "[DEBUG][NETWORK] Initializing client to :5000",
                     "[ERROR] Failed to connect to server"}));
    EXPECT_EQ(p.err, "Erreur: Impossible de se connecter au serveur\n");
}

// Started from a console or a remote shell that forwards no display: every
// mode, its peer link set up or not, ends after the launch line with one
// sentence in the player's language, and nothing from the toolkit.
TEST_F(CommandLineStartFailures, WithoutADisplayEveryModeEndsWithOneSentence)
{
    uint16_t port = 0;
    const int listening = listen_loopback(&port);
    ASSERT_GE(listening, 0);
    const std::string french = "Erreur: Impossible d'ouvrir l'affichage (vérifiez DISPLAY ou WAYLAND_DISPLAY)\n";
    const std::vector<std::string> no_display = {"DISPLAY", "WAYLAND_DISPLAY"};
    std::vector<std::string> english = players_locale("en_US.UTF-8");
    english.insert(english.end(), no_display.begin(), no_display.end());
    const struct {
        Lines args;
        std::string id;
        const std::vector<std::string>& env;
        std::string error;
    } starts[] = {
        {{"-l"}, ".local", no_display, french},
        {{"-x"}, "", no_display, french},
        {{"-s", std::to_string(unused_port())}, ".server", no_display, french},
        {{"-c", "127.0.0.1:" + std::to_string(port)}, ".client", no_display, french},
        {{"-l"}, ".local", english, "Error: Could not open the display (check DISPLAY or WAYLAND_DISPLAY)\n"},
    };
    for (const auto& start : starts) {
        Program& p = start_program(start.args, nullptr, start.env);
        EXPECT_EQ(wait_exit(p), 1) << start.args[0];
        EXPECT_EQ(p.err, start.error) << start.args[0];
        ASSERT_FALSE(out_lines(p).empty());
        EXPECT_EQ(out_lines(p).back(), LAUNCH + TAVELORN_APP_ID + start.id);
    }
    close(listening);
}

// ---------------------------------------------------------------------------
// Port and address texts, read back from the mode line and the link's line

struct PortCase {
    const char* text;
    int port;
};

class CommandLinePorts : public ProgramTest, public testing::WithParamInterface<PortCase>
{
};

// Client mode shows the number twice (mode line, link line) and, on a port
// where nothing listens, ends at once; a port in use just opens a window.
TEST_P(CommandLinePorts, ClientPortTextGivesThePrintedPort)
{
    const PortCase c = GetParam();
    const std::string n = std::to_string(c.port);
    Program& p = start_program({"-c", std::string("127.0.0.1:") + c.text});
    EXPECT_TRUE(wait_line(p, "[DEBUG][MAIN] Mode client activé vers 127.0.0.1:" + n)) << c.text << "\n" << p.out;
    EXPECT_TRUE(wait_line(p, "[DEBUG][NETWORK] Initializing client to 127.0.0.1:" + n)) << c.text << "\n" << p.out;
    finish_program(p);
}

INSTANTIATE_TEST_SUITE_P(Examples, CommandLinePorts,
                         testing::Values(PortCase{"abc", 0}, PortCase{"8080abc", 8080}, PortCase{"70000", 4464},
                                         PortCase{"-1", 65535}, PortCase{"65535", 65535}, PortCase{"40000", 40000},
                                         PortCase{"65536", 0}, PortCase{" \t+42", 42},
                                         PortCase{"99999999999999999999", 65535},
                                         PortCase{"-99999999999999999999", 0}));

using CommandLineAddresses = ProgramTest;

TEST_F(CommandLineAddresses, HostEndsAtTheFirstColon)
{
    const std::string n = std::to_string(unused_port());
    Program& p = start_program({"-c", "127.0.0.1:" + n + ":7"});
    EXPECT_EQ(wait_exit(p), 1);
    EXPECT_EQ(out_lines(p).at(0), "[DEBUG][MAIN] Mode client activé vers 127.0.0.1:" + n);
    EXPECT_EQ(out_lines(p).at(1), "[DEBUG][NETWORK] Initializing client to 127.0.0.1:" + n);
}

TEST_F(CommandLineAddresses, ColonLastGivesPortZero)
{
    Program& p = start_program({"-c", "127.0.0.1:"});
    EXPECT_EQ(wait_exit(p), 1);
    EXPECT_EQ(out_lines(p).at(0), "[DEBUG][MAIN] Mode client activé vers 127.0.0.1:0");
    EXPECT_EQ(p.err, "Erreur: Impossible de se connecter au serveur\n");
}

// Port 0 lets the system choose the port: standard error names it, and a
// peer reaches the server there.
TEST_F(CommandLineAddresses, ServerPortThatIsNotANumberListensOnAPortItNames)
{
    Program& p = start_program({"-s", "abc"});
    ASSERT_TRUE(wait_line(p, "[DEBUG][NETWORK] Server listening on port 0 (non-blocking)")) << p.out << p.err;
    EXPECT_EQ(out_lines(p).at(0), "[DEBUG][MAIN] Mode serveur activé sur port 0");
    EXPECT_EQ(out_lines(p).at(1), "[DEBUG][NETWORK] Initializing server on port 0");
    const std::string before = "Le serveur écoute sur le port ", after = ", choisi par le système.\n";
    ASSERT_TRUE(wait_error_text(p, after)) << p.err;
    ASSERT_EQ(p.err.rfind(before, 0), 0u) << p.err;
    const int port = std::atoi(p.err.c_str() + before.size());
    EXPECT_EQ(p.err, before + std::to_string(port) + after);
    const std::string id = find_game_window(p);
    ASSERT_NE(id, "");
    EXPECT_EQ(window_name(id), "Tavelorn - Serveur");
    const int peer = connect_loopback(static_cast<uint16_t>(port));
    EXPECT_TRUE(wait_line(p, "[DEBUG][NETWORK] Client connected!")) << port << "\n" << p.out;
    close(peer);
    expect_clean_close(p, id);
}

// ---------------------------------------------------------------------------
// Modes: only the whole first argument selects one

class CommandLineUnrecognised : public ProgramTest, public testing::WithParamInterface<Lines>
{
};

TEST_P(CommandLineUnrecognised, FirstArgumentThatIsNoModeStartsALocalGame)
{
    Program& p = start_program(GetParam());
    EXPECT_TRUE(wait_line(p, LAUNCH + TAVELORN_APP_ID));
    const std::string id = find_game_window(p);
    ASSERT_NE(id, "") << p.out << p.err;
    EXPECT_EQ(window_name(id), "Tavelorn - Local");
    EXPECT_EQ(out_lines(p), Lines{LAUNCH + TAVELORN_APP_ID});
    EXPECT_EQ(p.err.find("Usage"), std::string::npos);
    EXPECT_EQ(p.err.find("Erreur"), std::string::npos);
    expect_clean_close(p, id);
}

INSTANTIATE_TEST_SUITE_P(Arguments, CommandLineUnrecognised,
                         testing::Values(Lines{"-lx"}, Lines{"-L"}, Lines{"--l"}, Lines{"l"}, Lines{"-l "}, Lines{""},
                                         Lines{"x", "-s", "5000"}));

using CommandLineModes = ProgramTest;

TEST_F(CommandLineModes, LocalIgnoresFurtherArguments)
{
    Program& p = start_program({"-l", "-s", "5000"});
    EXPECT_TRUE(wait_line(p, LAUNCH + TAVELORN_APP_ID + ".local"));
    const std::string id = find_game_window(p);
    ASSERT_NE(id, "") << p.out << p.err;
    EXPECT_EQ(window_name(id), "Tavelorn - Local");
    EXPECT_EQ(out_lines(p), (Lines{"[DEBUG][MAIN] Mode local activé", LAUNCH + TAVELORN_APP_ID + ".local"}));
    expect_clean_close(p, id);
}
