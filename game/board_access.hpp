// The board as assistive technologies read it, beside the board as it is
// drawn (gui): the same widget, the same squares, the same game state.
#pragma once

#include <cstdint>

#include <gtk/gtk.h>

// The board widget: a drawing area that assistive technologies read as the
// board "Plateau", square by square on GTK 4.10 and newer. It takes the
// keyboard focus; from GTK 4.10 the focus is the square under the cursor once
// a key has been used there, and Tab leaves the board at once.
GtkWidget* board_widget_new();
// From GTK 4.10, gives the keyboard focus to the cursor's square. For a key
// (`from_key`), the squares are made if no assistive technology has asked for
// them yet, and the focus is taken from the board itself; after a press of the
// pointer, the focus moves only when a square has it already. On GTK 4.8,
// where the board keeps the focus, the board takes the cursor's square's name
// instead, from the first key on.
void board_focus_cursor_square(GtkWidget* board_widget, bool from_key);
// The game is over: the board, and its squares from GTK 4.10, read as
// disabled from now on.
void board_access_freeze(GtkWidget* board_widget);
// Brings what assistive technologies read of the board up to the game state;
// on GTK 4.14 and newer also announces a new selection, and one dropped by a
// press that made no move. Runs after the labels are written, whenever the
// board is redrawn.
void board_access_refresh(GtkWidget* board_widget);
// On GTK 4.14 and newer, announces a move just applied and the pieces it took,
// then the side to move, or the end of the game when it brought it. Does
// nothing without a board.
void board_access_announce_move(GtkWidget* board_widget, int32_t from_row, int32_t from_col, int32_t to_row,
                                int32_t to_col, int32_t taken);
// On GTK 4.14 and newer, announces the status labels' texts (and the result
// once the game is over). Does nothing without a board.
void board_access_announce_status(GtkWidget* board_widget);
