// The program's entry under an arbitrary command line, as far as the start
// of the application: the link's set-up and the application's run are
// stood in for at link time (nothing listens, connects or opens a window),
// and what the entry printed, returned and asked of them must be what the
// command line calls for.
//
// Input: a plan byte (bit 0: the link's set-up fails; bits 1 and 2: the
// status the application's run returns; bit 3: no display opens), then the argument vector, its
// texts separated by zero bytes: the program's name first, then its
// arguments ("tavelorn\0-s\05000"; a zero byte at the end adds an empty
// argument).
#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include <gio/gio.h>

#include "fuzz_support.hpp"
#include "network.hpp"

#ifndef TAVELORN_APP_ID
#error "the base application identifier is given at build time"
#endif

int tavelorn_main(int argc, char** argv); // the game's main, renamed at build time

static constexpr uint8_t SET_UP_FAILS = 1 << 0;
static constexpr uint8_t NO_DISPLAY = 1 << 3;
static constexpr int RUN_STATUSES[4] = {0, 1, 2, 130};

// ---------------------------------------------------------------------------
// What the command line may do
//
// Everything the entry may do with a command line, in one place: what it
// asks of the link, whether and how it runs the application, what it prints
// on each stream, and its exit status.

struct LinkSetUp {
    bool server;
    std::string host; // the client's
    uint16_t port;
    bool operator==(const LinkSetUp&) const = default;
};

struct Outcome {
    std::optional<LinkSetUp> link;
    std::optional<std::string> app_id; // set when the application runs
    std::string out;
    std::string err;
    int status = 0;
    bool operator==(const Outcome&) const = default;
};

// How the run went for the stand-ins below.
struct Plan {
    bool set_up_fails;
    int run_status;
    bool no_display;
};

static std::string printed(const char* format, auto... values)
{
    char line[4096];
    const int length = std::snprintf(line, sizeof line, format, values...);
    return std::string(line, static_cast<size_t>(std::min<int>(length, sizeof line - 1)));
}

// Read as a decimal number: blanks, one sign, digits up to the first other
// character, held at the 64-bit limits; the port is its low 16 bits.
static uint16_t port_of(const std::string& text)
{
    size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    const bool negative = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+'))
        ++at;
    const unsigned long long limit = negative ? 1ULL << 63 : (1ULL << 63) - 1;
    unsigned long long magnitude = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        magnitude = magnitude > (limit - (text[at] - '0')) / 10 ? limit : magnitude * 10 + (text[at] - '0');
    const unsigned long long value = negative ? 0 - magnitude : magnitude;
    return static_cast<uint16_t>(value & 0xFFFF);
}

// The port a server given port 0 listens on, as its stand-in below reports it.
static constexpr int CHOSEN_PORT = 43210;

// The client's address: "[ADDRESS]:PORT" when it opens with a bracket, else
// the host before the first ':' and the port text after it. False when no
// port can be split off.
static bool split_address(const std::string& address, std::string* host, std::string* port_text)
{
    if (!address.empty() && address[0] == '[') {
        const size_t end = address.find(']');
        if (end == std::string::npos || end + 1 >= address.size() || address[end + 1] != ':')
            return false;
        *host = address.substr(1, end - 1);
        *port_text = address.substr(end + 2);
        return true;
    }
    const size_t colon = address.find(':');
    if (colon == std::string::npos)
        return false;
    *host = address.substr(0, colon);
    *port_text = address.substr(colon + 1);
    return true;
}

// The mode's own part: its line, its set-up and its failures. False when the
// program ends there (`outcome` then holds the status and the messages).
static bool expect_mode(const std::vector<std::string>& args, const Plan& plan, Outcome& outcome, std::string& app_id)
{
    const std::string& program = args[0];
    const std::string& mode = args[1];
    outcome.status = 1;
    if (mode == "-l") {
        outcome.out += "[DEBUG][MAIN] Mode local activé\n";
        app_id += ".local";
    } else if (mode == "-s") {
        if (args.size() != 3) {
            outcome.err = "Usage: " + program + " -s <port>\n";
            return false;
        }
        const uint16_t port = port_of(args[2]);
        outcome.out += printed("[DEBUG][MAIN] Mode serveur activé sur port %d\n", port);
        outcome.link = LinkSetUp{true, "", port};
        if (plan.set_up_fails) {
            outcome.err = "Erreur: Impossible de démarrer le serveur\n";
            return false;
        }
        if (port == 0)
            outcome.err = printed("Le serveur écoute sur le port %d, choisi par le système.\n", CHOSEN_PORT);
        app_id += ".server";
    } else if (mode == "-c") {
        std::string host, port_text;
        if (args.size() != 3) {
            outcome.err = "Usage: " + program + " -c <ip:port>\n";
            return false;
        }
        if (!split_address(args[2], &host, &port_text)) {
            outcome.err = "Format attendu: <ip:port>\n";
            return false;
        }
        const uint16_t port = port_of(port_text);
        // An IPv6 address is shown in its brackets again.
        const std::string shown = host.find(':') == std::string::npos ? host : "[" + host + "]";
        outcome.out += "[DEBUG][MAIN] Mode client activé vers " + shown + printed(":%d\n", port);
        outcome.link = LinkSetUp{false, host, port};
        if (plan.set_up_fails) {
            outcome.err = "Erreur: Impossible de se connecter au serveur\n";
            return false;
        }
        app_id += ".client";
    }
    return true;
}

static Outcome expected_outcome(const std::vector<std::string>& args, const Plan& plan)
{
    Outcome outcome;
    const std::string& program = args[0];
    if (args.size() < 2) {
        outcome.err = "Usage:\n  " + program + " -l\n  " + program + " -s <port>\n  " + program + " -c <ip:port>\n";
        outcome.status = 1;
        return outcome;
    }
    std::string app_id = TAVELORN_APP_ID;
    if (!expect_mode(args, plan, outcome, app_id))
        return outcome;
    outcome.out += "[DEBUG][MAIN] Lancement de l'application GTK avec ID: " + app_id + "\n";
    if (plan.no_display) {
        outcome.err += "Erreur: Impossible d'ouvrir l'affichage (vérifiez DISPLAY ou WAYLAND_DISPLAY)\n";
        outcome.status = 1;
        return outcome;
    }
    outcome.app_id = app_id;
    outcome.status = plan.run_status;
    outcome.out += printed("[DEBUG][MAIN] Application terminée avec le statut: %d\n", plan.run_status);
    return outcome;
}

// ---------------------------------------------------------------------------
// Stand-ins for the link's set-up, the exit handler and the run

static Plan plan;
static Outcome seen;
static char** program_argv;
static int exit_handlers;

// The set-up functions are C++ ones: the linker wraps them by their mangled
// names, which hold their parameters' types. Should those change, the build
// stops here rather than let the real set-up run.
static_assert(std::is_same_v<decltype(network_init_server), int(uint16_t)>);
static_assert(std::is_same_v<decltype(network_init_client), int(const char*, uint16_t)>);
static_assert(std::is_same_v<decltype(network_server_port), int()>);

extern "C" int __wrap__Z19network_init_servert(uint16_t port)
{
    FUZZ_CHECK(!seen.link, "the link is set up once");
    seen.link = LinkSetUp{true, "", port};
    return plan.set_up_fails ? -1 : 0;
}

extern "C" int __wrap__Z19network_init_clientPKct(const char* address, uint16_t port)
{
    FUZZ_CHECK(!seen.link, "the link is set up once");
    seen.link = LinkSetUp{false, address, port};
    return plan.set_up_fails ? -1 : 0;
}

extern "C" int __wrap__Z19network_server_portv()
{
    FUZZ_CHECK(seen.link && seen.link->server && !plan.set_up_fails, "the port is asked of a server that listens");
    return CHOSEN_PORT;
}

// Whatever the entry calls, nothing here reaches the network.
extern "C" int __wrap_socket(int, int, int)
{
    fuzz_check_failed(__FILE__, __LINE__, "socket", "the command line reached a real socket");
}

extern "C" int __wrap_getaddrinfo(const char*, const char*, const void*, void**)
{
    fuzz_check_failed(__FILE__, __LINE__, "getaddrinfo", "the command line reached a real name look-up");
}

extern "C" gboolean __wrap_gtk_init_check()
{
    FUZZ_CHECK(!seen.app_id, "the display is opened before the application runs");
    return !plan.no_display;
}

extern "C" int __real_atexit(void (*handler)());
extern "C" int __wrap_atexit(void (*handler)())
{
    if (handler != network_cleanup)
        return __real_atexit(handler);
    ++exit_handlers;
    return 0;
}

extern "C" int __wrap_g_application_run(GApplication* app, int argc, char** argv)
{
    FUZZ_CHECK(!seen.app_id, "the application runs once");
    FUZZ_CHECK(argc == 1 && argv == program_argv, "the toolkit sees the program's name alone");
    FUZZ_CHECK(exit_handlers == 1, "the link's clean-up is registered before the run");
    seen.app_id = g_application_get_application_id(app);
    return plan.run_status;
}

// ---------------------------------------------------------------------------

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The game's own texts, whatever the language of whoever runs this.
    setenv("LC_ALL", "C", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    InputBytes input{data, size};
    const uint8_t plan_byte = take_byte(input);
    plan = {(plan_byte & SET_UP_FAILS) != 0, RUN_STATUSES[(plan_byte >> 1) & 3], (plan_byte & NO_DISPLAY) != 0};
    std::vector<std::string> args(1);
    for (size_t i = 0; i < input.size; ++i) {
        if (input.data[i] == 0)
            args.emplace_back();
        else
            args.back() += static_cast<char>(input.data[i]);
    }
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    seen = {};
    program_argv = argv.data();
    exit_handlers = 0;
    CaughtStream out = begin_catching(stdout);
    CaughtStream err = begin_catching(stderr);
    seen.status = tavelorn_main(static_cast<int>(args.size()), argv.data());
    seen.err = end_catching(err);
    seen.out = end_catching(out);

    const Outcome expected = expected_outcome(args, plan);
    FUZZ_CHECK(seen.status == expected.status,
               printed("exit status %d, not %d", seen.status, expected.status) + ", after: " + seen.err);
    FUZZ_CHECK(seen.err == expected.err, "standard error: " + seen.err + "\nnot: " + expected.err);
    FUZZ_CHECK(seen.out == expected.out, "standard output: " + seen.out + "\nnot: " + expected.out);
    FUZZ_CHECK(seen.link == expected.link, "the link's set-up");
    FUZZ_CHECK(seen.app_id == expected.app_id, "the application's identifier");
    FUZZ_CHECK(exit_handlers == (expected.app_id ? 1 : 0),
               "the link's clean-up is registered once the set-up succeeded");
    return 0;
}
