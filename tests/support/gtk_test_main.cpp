// Test programs that make widgets need GTK up on a display before the first
// one exists, rendering as the game itself chooses (no GL driver loaded).
// The environment is kept as it was when the display opened, for the tests
// that check the game leaves it alone from then on.
#include <cstdio>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "game_window.hpp"

std::vector<std::string> environment_at_start;

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    choose_default_renderer();
    environment_at_start = current_environment();
    if (!gtk_init_check()) {
        std::fprintf(stderr, "No display: run through tests/support/with-xvfb.sh\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
