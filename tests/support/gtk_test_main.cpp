// Test programs that make widgets need GTK up on a display before the first
// one exists, rendering as the game itself chooses (no GL driver loaded).
#include <cstdio>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "gui.hpp"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    choose_default_renderer();
    if (!gtk_init_check()) {
        std::fprintf(stderr, "No display: run through tests/support/with-xvfb.sh\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
