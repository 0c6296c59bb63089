#include "window_harness.hpp"

#include <gtest/gtest.h>

#include <cstdio>

#include "gui.hpp"

namespace
{

constexpr guint GIVE_UP_SECONDS = 10;

void (*window_body)(GtkApplication*) = nullptr;
int application_serial = 0;
guint watchdog_id = 0;

void close_windows(GtkApplication* app)
{
    GList* windows = g_list_copy(gtk_application_get_windows(app));
    for (GList* w = windows; w; w = w->next)
        gtk_window_destroy(GTK_WINDOW(w->data));
    g_list_free(windows);
}

gboolean run_body_then_close(gpointer app)
{
    window_body(GTK_APPLICATION(app));
    close_windows(GTK_APPLICATION(app));
    return G_SOURCE_REMOVE;
}

// Runs after `gui_activate`; only the first activation runs the body.
void schedule_body(GtkApplication* app, gpointer)
{
    g_signal_handlers_disconnect_by_func(app, reinterpret_cast<gpointer>(schedule_body), nullptr);
    g_idle_add(run_body_then_close, app);
}

gboolean give_up(gpointer app)
{
    ADD_FAILURE() << "the game window did not come up and close in time";
    watchdog_id = 0;
    close_windows(GTK_APPLICATION(app));
    g_application_quit(G_APPLICATION(app));
    return G_SOURCE_REMOVE;
}

} // namespace

void run_game_window(void (*body)(GtkApplication* app))
{
    char id[64];
    std::snprintf(id, sizeof id, "org.tavelorn.Tavelorn.WindowTest%d", ++application_serial);
    GtkApplication* app = gtk_application_new(id, G_APPLICATION_NON_UNIQUE);
    g_signal_connect(app, "activate", G_CALLBACK(gui_activate), nullptr);
    g_signal_connect_after(app, "activate", G_CALLBACK(schedule_body), nullptr);
    window_body = body;

    watchdog_id = g_timeout_add_seconds(GIVE_UP_SECONDS, give_up, app);
    g_application_run(G_APPLICATION(app), 0, nullptr);
    if (watchdog_id)
        g_source_remove(watchdog_id);
    watchdog_id = 0;
    g_object_unref(app);
}

void wait_for_board_on_screen()
{
    // The poll timer ticks every 100 ms, so each blocking iteration returns.
    while (drawing_area && !(gtk_widget_get_mapped(drawing_area) && gtk_widget_get_width(drawing_area) > 0))
        g_main_context_iteration(nullptr, TRUE);
}
