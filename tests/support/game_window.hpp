// A real window holding the six widgets the rules write to, wired into the
// window module's references, and small helpers for tests that make widgets.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "app.hpp"
#include "gui.hpp"

// The entries of the process's environment that are new ("+NAME=value") or
// gone ("-NAME=value") since the display opened (the tests' main keeps them
// as they were then); none when it is as it was.
extern std::vector<std::string> environment_at_start;

inline std::vector<std::string> current_environment()
{
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry)
        entries.emplace_back(*entry);
    std::sort(entries.begin(), entries.end());
    return entries;
}

inline std::string environment_changes()
{
    const std::vector<std::string> now = current_environment();
    std::string changes;
    for (const std::string& entry : now)
        if (!std::binary_search(environment_at_start.begin(), environment_at_start.end(), entry))
            changes += " +" + entry;
    for (const std::string& entry : environment_at_start)
        if (!std::binary_search(now.begin(), now.end(), entry))
            changes += " -" + entry;
    return changes;
}

// Lets the main loop handle what is waiting, without blocking.
inline void run_pending_events()
{
    for (int i = 0; i < 200 && g_main_context_iteration(nullptr, FALSE); ++i) {
    }
}

// Every window of the process, alerts included.
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

// The markup a label was last given.
inline std::string label_markup(GtkWidget* label)
{
    return gtk_label_get_label(GTK_LABEL(label));
}

// A press of the first button on the middle of a square, handed straight to
// the board's press handler.
inline void press_square(int32_t row, int32_t col)
{
    on_click(nullptr, 1, square_centre_px(col), square_centre_px(row), nullptr);
}

// The windows on screen other than `main_window`, oldest first: the alerts,
// whichever widgets the toolkit builds them from.
inline std::vector<GtkWindow*> open_alerts(GtkWindow* main_window)
{
    std::vector<GtkWindow*> alerts;
    for (GtkWindow* window : toplevel_windows())
        if (window != main_window && gtk_widget_get_visible(GTK_WIDGET(window)))
            alerts.insert(alerts.begin(), window);
    return alerts;
}

// Every widget of `type` in the tree under `widget`, in order.
inline void collect_widgets(GtkWidget* widget, GType type, std::vector<GtkWidget*>& found)
{
    if (G_TYPE_CHECK_INSTANCE_TYPE(widget, type))
        found.push_back(widget);
    for (GtkWidget* child = gtk_widget_get_first_child(widget); child; child = gtk_widget_get_next_sibling(child))
        collect_widgets(child, type, found);
}

inline std::vector<GtkWidget*> widgets_of_type(GtkWidget* root, GType type)
{
    std::vector<GtkWidget*> found;
    collect_widgets(root, type, found);
    return found;
}

// The five status labels and the board as the window module's references,
// the board drawn by draw_grid at its full size, and a new game. Every
// window still open is closed after each test.
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
        gtk_widget_set_size_request(drawing_area, BOARD_PX, BOARD_PX);
        gtk_drawing_area_set_draw_func(GTK_DRAWING_AREA(drawing_area), draw_grid, nullptr, nullptr);
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
