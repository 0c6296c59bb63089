// Test programs that make widgets need GTK up on a display before the first
// one exists, rendering and styled as the game itself chooses (no GL driver loaded, the
// dark style).
#include <cstdio>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "gui.hpp"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    choose_default_renderer();
    if (!open_display_in_default_style()) {
        std::fprintf(stderr, "No display: run through tests/support/with-xvfb.sh\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
