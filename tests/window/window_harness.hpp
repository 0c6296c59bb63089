// Runs test code inside a real GTK application whose "activate" builds the
// game window, then closes the window, which ends the application's run.
#pragma once

#include <gtk/gtk.h>

// Builds the game window in a fresh application (an identifier of its own,
// not unique), runs `body` once the window is up, then destroys every window
// of the application and returns when its run has ended. Gives up with a
// test failure after a few seconds.
void run_game_window(void (*body)(GtkApplication* app));

// Lets the main loop run until the board widget has been laid out and mapped.
void wait_for_board_on_screen();
