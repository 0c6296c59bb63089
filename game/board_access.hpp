// The board as assistive technologies read it, beside the board as it is
// drawn (gui): the same widget, the same squares, the same game state.
#pragma once

#include <cstdint>

#include <gtk/gtk.h>

// The board widget: a drawing area that assistive technologies read as the
// board "Plateau", square by square on GTK 4.10 and newer.
GtkWidget* board_widget_new();
// Brings what assistive technologies read of the board up to the game state;
// on GTK 4.14 and newer also announces a new selection, and one dropped by a
// press that made no move. Runs after the labels are written, whenever the
// board is redrawn.
void board_access_refresh(GtkWidget* board_widget);
// On GTK 4.14 and newer, announces a move just applied and the pieces it took,
// and the end of the game when it brought it. Does nothing without a board.
void board_access_announce_move(GtkWidget* board_widget, int32_t from_row, int32_t from_col, int32_t to_row,
                                int32_t to_col, int32_t taken);
