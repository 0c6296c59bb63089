// The game window: its widget tree, the board drawing, presses on the board
// and the timer that polls the peer link.
#pragma once

#include <cstdint>

#include <gtk/gtk.h>

#include "app.hpp"
#include "board_geometry.hpp"

constexpr guint NETWORK_POLL_MS = 100;

// Widget references into the one game window (not owned; none until the
// window is built, none again once it is gone)
extern GtkWidget* blue_score_label;
extern GtkWidget* blue_turn_label;
extern GtkWidget* turn_center_label;
extern GtkWidget* drawing_area;
extern GtkWidget* red_score_label;
extern GtkWidget* red_turn_label;

// Keyboard play: the square the arrow keys or a typed name have reached,
// which Space and Return press. E5 when the window opens; a press of the
// pointer brings it to the pressed square.
extern int32_t cursor_row;
extern int32_t cursor_col;

// Rendering: when the player has set none of GSK_RENDERER, GDK_DEBUG and
// GDK_DISABLE, the board (all cairo) is shown by the cairo renderer and the
// GL driver is never loaded. Call before the display is opened.
void choose_default_renderer();
// Window: built dark, whatever the theme (its own style sheet)
void gui_activate(GtkApplication* app, gpointer user_data);
// Sets the label's markup to `text`, escaped, inside `span` (an opening span
// tag): the text is in the player's language, the span is the game's look.
void set_label_in_span(GtkWidget* label, const char* span, const char* text);

// Board drawing
void draw_grid(GtkDrawingArea* area, cairo_t* cr, int width, int height, gpointer user_data);

// Turn flow
void on_click(GtkGestureClick* gesture, int n_press, double x, double y, gpointer user_data);
gboolean check_network_moves(gpointer user_data);
// The end of the game: from then on no press and no key on the board makes a
// move or a selection, and the board is drawn as the game left it, without
// the keyboard's cursor. The board keeps the keyboard focus: the arrow keys
// and typed names still take it over the squares, which assistive
// technologies are told are disabled. Received moves still apply.
void freeze_board(GtkWidget* board_widget);
bool board_is_frozen(GtkWidget* board_widget);
