// The game window: its widget tree, the board drawing, presses on the board
// and the timer that polls the peer link.
#pragma once

#include <cstdint>

#include <gtk/gtk.h>

#include "app.hpp"

// Board geometry, in pixels of the board widget
constexpr int32_t BOARD_MARGIN = 30;
constexpr int32_t CELL_SIZE = 52;
constexpr double PIECE_RADIUS = CELL_SIZE / 2.8;
constexpr int32_t BOARD_PX = 2 * BOARD_MARGIN + BOARD_SIZE * CELL_SIZE; // 528
// Left (or top) edge of column (or row) `index`; index BOARD_SIZE gives the
// far edge of the grid.
constexpr int32_t square_origin_px(int32_t index)
{
    return BOARD_MARGIN + CELL_SIZE * index;
}
constexpr int32_t square_centre_px(int32_t index)
{
    return square_origin_px(index) + CELL_SIZE / 2;
}

constexpr guint NETWORK_POLL_MS = 100;

// Widget references into the one game window (not owned; none until the
// window is built, none again once it is gone)
extern GtkWidget* blue_score_label;
extern GtkWidget* blue_turn_label;
extern GtkWidget* turn_center_label;
extern GtkWidget* drawing_area;
extern GtkWidget* red_score_label;
extern GtkWidget* red_turn_label;

// Rendering: when the player has set none of GSK_RENDERER, GDK_DEBUG and
// GDK_DISABLE, the board (all cairo) is shown by the cairo renderer and the
// GL driver is never loaded. Call before the display is opened.
void choose_default_renderer();

// Window
void gui_activate(GtkApplication* app, gpointer user_data);

// Board drawing
void draw_grid(GtkDrawingArea* area, cairo_t* cr, int width, int height, gpointer user_data);

// Assistive technologies
// The board widget: a drawing area that assistive technologies read as the
// board "Plateau", square by square on GTK 4.10 and newer.
GtkWidget* board_widget_new();
// Brings what assistive technologies read of the board up to the game state.
// Runs after the labels are written, whenever the board is redrawn.
void board_access_refresh(GtkWidget* board_widget);
// On GTK 4.14 and newer, announces a move just applied and the pieces it took,
// and the end of the game when it brought it. Does nothing without a board.
void board_access_announce_move(GtkWidget* board_widget, int32_t from_row, int32_t from_col, int32_t to_row,
                                int32_t to_col, int32_t taken);

// Turn flow
void on_click(GtkGestureClick* gesture, int n_press, double x, double y, gpointer user_data);
gboolean check_network_moves(gpointer user_data);
