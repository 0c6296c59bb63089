// The game window: its widget tree, the board drawing, presses on the board
// and the timer that polls the peer link.
#pragma once

#include <cstdint>

#include <gtk/gtk.h>

// Board geometry, in pixels of the board widget
constexpr int32_t BOARD_MARGIN = 30;
constexpr int32_t CELL_SIZE = 52;
constexpr double PIECE_RADIUS = CELL_SIZE / 2.8;
constexpr int32_t BOARD_PX = 2 * BOARD_MARGIN + 9 * CELL_SIZE; // 528
constexpr guint NETWORK_POLL_MS = 100;

// Widget references into the one game window (not owned; none until the
// window is built, none again once it is gone)
extern GtkWidget* blue_score_label;
extern GtkWidget* blue_turn_label;
extern GtkWidget* turn_center_label;
extern GtkWidget* drawing_area;
extern GtkWidget* red_score_label;
extern GtkWidget* red_turn_label;

// Window
void gui_activate(GtkApplication* app, gpointer user_data);

// Board drawing
void draw_grid(GtkDrawingArea* area, cairo_t* cr, int width, int height, gpointer user_data);

// Turn flow
void on_click(GtkGestureClick* gesture, int n_press, double x, double y, gpointer user_data);
gboolean check_network_moves(gpointer user_data);
