// Program entry: reads the play mode, sets up the peer link for the networked
// modes before any window exists, then runs the GTK application under the
// mode's identifier.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtk/gtk.h>

#include "gui.hpp"
#include "network.hpp"

#ifndef TAVELORN_APP_ID
#define TAVELORN_APP_ID "org.tavelorn.Tavelorn"
#endif

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
        std::fprintf(stderr, "Usage: %s -s <port>\n", argv[0]);
        return 1;
    }
    const uint16_t port = parse_port(argv[2]);
    std::printf("[DEBUG][MAIN] Mode serveur activé sur port %d\n", port);
    if (network_init_server(port) < 0) {
        std::fprintf(stderr, "Erreur: Impossible de démarrer le serveur\n");
        return 1;
    }
    return 0;
}

static int start_client_mode(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "Usage: %s -c <ip:port>\n", argv[0]);
        return 1;
    }
    char* host = strdup(argv[2]);
    if (!host)
        return 1;
    char* colon = std::strchr(host, ':');
    if (!colon) {
        std::fprintf(stderr, "Format attendu: <ip:port>\n");
        std::free(host);
        return 1;
    }
    *colon = '\0';
    const uint16_t port = parse_port(colon + 1);
    std::printf("[DEBUG][MAIN] Mode client activé vers %s:%d\n", host, port);
    const int result = network_init_client(host, port);
    std::free(host);
    if (result < 0) {
        std::fprintf(stderr, "Erreur: Impossible de se connecter au serveur\n");
        return 1;
    }
    return 0;
}

int main(int argc, char** argv)
{
    // Diagnostic lines reach a pipe or a log as they happen.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    if (argc < 2) {
        std::fprintf(stderr, "Usage:\n  %s -l\n  %s -s <port>\n  %s -c <ip:port>\n", argv[0], argv[0], argv[0]);
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
    GtkApplication* app = gtk_application_new(app_id.c_str(), G_APPLICATION_DEFAULT_FLAGS);
    choose_default_style(app);
    g_signal_connect_data(app, "activate", G_CALLBACK(gui_activate), nullptr, nullptr, GConnectFlags(0));
    std::atexit(network_cleanup);
    const int status = g_application_run(G_APPLICATION(app), 1, argv);
    g_object_unref(app);
    std::printf("[DEBUG][MAIN] Application terminée avec le statut: %d\n", status);
    return status;
}
