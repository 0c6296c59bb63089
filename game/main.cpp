// Program entry: reads the play mode, sets up the peer link for the networked
// modes before any window exists, then runs the GTK application under the
// mode's identifier.
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtk/gtk.h>

#include "gui.hpp"
#include "i18n.hpp"
#include "network.hpp"

#ifndef TAVELORN_APP_ID
#define TAVELORN_APP_ID "org.tavelorn.Tavelorn"
#endif
// The catalogues: the folder an installation keeps them in, that folder seen
// from the installed program's own folder, the build tree's seen from its
// top (where the program is built), and their languages, space-separated.
#ifndef TAVELORN_LOCALEDIR
#define TAVELORN_LOCALEDIR "/usr/local/share/locale"
#define TAVELORN_LOCALEDIR_FROM_BINDIR "../share/locale"
#define TAVELORN_LOCALEDIR_IN_BUILD "share/locale"
#define TAVELORN_LANGUAGES ""
#endif

// ---------------------------------------------------------------------------
// The player's language

// True when `folder` holds this game's catalogue in one of its languages.
static bool holds_catalogues(const std::string& folder)
{
    const std::string languages = TAVELORN_LANGUAGES;
    for (size_t start = 0; start < languages.size();) {
        size_t end = languages.find(' ', start);
        if (end == std::string::npos)
            end = languages.size();
        const std::string file =
            folder + "/" + languages.substr(start, end - start) + "/LC_MESSAGES/" + TEXT_DOMAIN + ".mo";
        struct stat info;
        if (end > start && stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            return true;
        start = end + 1;
    }
    return false;
}

// The catalogues beside this very program: an installation moved to another
// prefix, or staged, keeps them at the same place relative to its program,
// and a build tree keeps them under its top, where the program is built. The
// configured folder is the last resort, when the program cannot see its own
// path.
static std::string catalogue_folder()
{
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length > 0) {
        path[length] = '\0';
        const std::string program = path;
        const std::string folder = program.substr(0, program.rfind('/') + 1);
        for (const char* relative : {TAVELORN_LOCALEDIR_FROM_BINDIR, TAVELORN_LOCALEDIR_IN_BUILD})
            if (holds_catalogues(folder + relative))
                return folder + relative;
    }
    return TAVELORN_LOCALEDIR;
}

// Before the first text, so that usage and start-up errors speak the
// player's language too. The toolkit sets the locale again when it starts;
// it finds it as it is set here.
static void set_up_translations()
{
    std::setlocale(LC_ALL, "");
    bindtextdomain(TEXT_DOMAIN, catalogue_folder().c_str());
    bind_textdomain_codeset(TEXT_DOMAIN, "UTF-8");
    textdomain(TEXT_DOMAIN);
}

// ---------------------------------------------------------------------------
// Modes

// Decimal, leading blanks and one sign accepted, stops at the first other
// character, clamps at the 64-bit limits; the port is the low 16 bits.
static uint16_t parse_port(const char* text)
{
    const long long value = std::strtoll(text, nullptr, 10);
    return static_cast<uint16_t>(static_cast<unsigned long long>(value) & 0xFFFFu);
}

static int start_server_mode(int argc, char** argv)
{
    if (argc != 3) {
        /* Translators: the usage line of the server mode; %s is the program's name. Keep "-s <port>" as
           it stands: it is what the player types. */
        std::fprintf(stderr, _("Usage: %s -s <port>"), argv[0]);
        std::fputc('\n', stderr);
        return 1;
    }
    const uint16_t port = parse_port(argv[2]);
    std::printf("[DEBUG][MAIN] Mode serveur activé sur port %d\n", port);
    if (network_init_server(port) < 0) {
        std::fprintf(stderr, "%s\n", _("Erreur: Impossible de démarrer le serveur"));
        return 1;
    }
    // Port 0 lets the system choose one: the player needs to know which, to
    // give it to the other player.
    if (port == 0) {
        /* Translators: on standard error when the server was given port 0 (or a port that is no number);
           %d is the port the system chose, which the other player needs. */
        std::fprintf(stderr, _("Le serveur écoute sur le port %d, choisi par le système."), network_server_port());
        std::fputc('\n', stderr);
    }
    return 0;
}

// Splits the client's address text, in place, into its host and its port
// text: "[ADDRESS]:PORT" for an IPv6 address, as URLs write it, anything else
// at its first ':'. 0, or -1 when no port can be split off.
static int split_address(char* text, char** host, char** port_text)
{
    if (text[0] == '[') {
        char* end = std::strchr(text, ']');
        if (end == nullptr || end[1] != ':')
            return -1;
        *end = '\0';
        *host = text + 1;
        *port_text = end + 2;
        return 0;
    }
    char* colon = std::strchr(text, ':');
    if (colon == nullptr)
        return -1;
    *colon = '\0';
    *host = text;
    *port_text = colon + 1;
    return 0;
}

static int start_client_mode(int argc, char** argv)
{
    if (argc != 3) {
        /* Translators: the usage line of the client mode; %s is the program's name. Keep
           "-c <ip:port>" as it stands: it is what the player types. */
        std::fprintf(stderr, _("Usage: %s -c <ip:port>"), argv[0]);
        std::fputc('\n', stderr);
        return 1;
    }
    char* copy = strdup(argv[2]);
    if (!copy)
        return 1;
    char *host, *port_text;
    if (split_address(copy, &host, &port_text) < 0) {
        /* Translators: the client mode's argument has no colon; keep "<ip:port>" as it stands. */
        std::fprintf(stderr, "%s\n", _("Format attendu: <ip:port>"));
        std::free(copy);
        return 1;
    }
    const uint16_t port = parse_port(port_text);
    std::printf(std::strchr(host, ':') ? "[DEBUG][MAIN] Mode client activé vers [%s]:%d\n"
                                       : "[DEBUG][MAIN] Mode client activé vers %s:%d\n",
                host, port);
    const int result = network_init_client(host, port);
    std::free(copy);
    if (result < 0) {
        std::fprintf(stderr, "%s\n", _("Erreur: Impossible de se connecter au serveur"));
        return 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Start of the application

// Without a display (a console, a remote shell that forwards none) the
// toolkit cannot start: say so in one sentence and close the peer link that
// may already be open.
static bool display_opens()
{
    if (gtk_init_check())
        return true;
    /* Translators: no window can be shown; keep DISPLAY and WAYLAND_DISPLAY as they stand, they
       are the names of the two environment variables that say where the display is. */
    std::fprintf(stderr, "%s\n", _("Erreur: Impossible d'ouvrir l'affichage (vérifiez DISPLAY ou WAYLAND_DISPLAY)"));
    network_cleanup();
    return false;
}

int main(int argc, char** argv)
{
    set_up_translations();
    // Diagnostic lines reach a pipe or a log as they happen.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    if (argc < 2) {
        /* Translators: the heading of the three usage lines that follow it, which stay as they are. */
        std::fprintf(stderr, "%s\n  %s -l\n  %s -s <port>\n  %s -c <ip:port>\n", _("Usage:"), argv[0], argv[0],
                     argv[0]);
        return 1;
    }

    std::string app_id = TAVELORN_APP_ID;
    const char* mode = argv[1];
    if (std::strcmp(mode, "-l") == 0) {
        std::printf("[DEBUG][MAIN] Mode local activé\n");
        app_id += ".local";
    } else if (std::strcmp(mode, "-s") == 0) {
        if (start_server_mode(argc, argv) != 0)
            return 1;
        app_id += ".server";
    } else if (std::strcmp(mode, "-c") == 0) {
        if (start_client_mode(argc, argv) != 0)
            return 1;
        app_id += ".client";
    }

    std::printf("[DEBUG][MAIN] Lancement de l'application GTK avec ID: %s\n", app_id.c_str());
    choose_default_renderer();
    if (!display_opens())
        return 1;
    GtkApplication* app = gtk_application_new(app_id.c_str(), G_APPLICATION_DEFAULT_FLAGS);
    g_signal_connect_data(app, "activate", G_CALLBACK(gui_activate), nullptr, nullptr, GConnectFlags(0));
    std::atexit(network_cleanup);
    const int status = g_application_run(G_APPLICATION(app), 1, argv);
    g_object_unref(app);
    std::printf("[DEBUG][MAIN] Application terminée avec le statut: %d\n", status);
    return status;
}
