// A real window holding the six widgets the rules write to, wired into the
// window module's references, for tests of the labels and the end of game.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "game_state.hpp"
#include "gui.hpp"

inline void run_pending_events()
{
    for (int i = 0; i < 200 && g_main_context_iteration(nullptr, FALSE); ++i) {
    }
}

inline std::vector<GtkWindow*> toplevel_windows()
{
    std::vector<GtkWindow*> windows;
    GListModel* list = gtk_window_get_toplevels();
    for (guint i = 0; i < g_list_model_get_n_items(list); ++i) {
        auto* window = static_cast<GtkWindow*>(g_list_model_get_item(list, i));
        windows.push_back(window);
        g_object_unref(window); // the toolkit keeps its own reference
    }
    return windows;
}

// The end-of-game alerts on screen, oldest first.
inline std::vector<GtkMessageDialog*> open_alerts()
{
    std::vector<GtkMessageDialog*> alerts;
    for (GtkWindow* window : toplevel_windows())
        if (GTK_IS_MESSAGE_DIALOG(window) && gtk_widget_get_visible(GTK_WIDGET(window)))
            alerts.insert(alerts.begin(), GTK_MESSAGE_DIALOG(window));
    return alerts;
}

inline std::string label_markup(GtkWidget* label)
{
    return gtk_label_get_label(GTK_LABEL(label));
}

class GameWindowTest : public ::testing::Test
{
  protected:
    GtkWidget* window = nullptr;

    void SetUp() override
    {
        window = gtk_window_new();
        GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 4);
        blue_score_label = gtk_label_new("blue score");
        blue_turn_label = gtk_label_new("blue turn");
        turn_center_label = gtk_label_new("turn");
        drawing_area = gtk_drawing_area_new();
        red_score_label = gtk_label_new("red score");
        red_turn_label = gtk_label_new("red turn");
        for (GtkWidget* w :
             {blue_score_label, blue_turn_label, turn_center_label, drawing_area, red_score_label, red_turn_label})
            gtk_box_append(GTK_BOX(box), w);
        gtk_window_set_child(GTK_WINDOW(window), box);
        gtk_window_present(GTK_WINDOW(window));
        run_pending_events();
        new_game_setup();
    }

    void TearDown() override
    {
        // One at a time: closing a window may take others with it.
        for (int i = 0; i < 50 && !toplevel_windows().empty(); ++i) {
            gtk_window_destroy(toplevel_windows().front());
            run_pending_events();
        }
        blue_score_label = blue_turn_label = turn_center_label = nullptr;
        drawing_area = red_score_label = red_turn_label = nullptr;
    }

    static void update_all_labels()
    {
        update_labels(blue_score_label, blue_turn_label, red_score_label, red_turn_label);
    }
};
