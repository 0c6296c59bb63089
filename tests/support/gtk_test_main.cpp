// Test programs that make widgets need GTK up on a display before the first
// one exists, rendering as the game itself chooses (no GL driver loaded).
// The environment is kept as it was when the display opened, for the tests
// that check the game leaves it alone from then on.
#include <cstdio>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "game_window.hpp"

std::vector<std::string> environment_at_start;

#if GTK_CHECK_VERSION(4, 14, 0)
// The toolkit's test backend (GTK_A11Y=test, which its accessibility
// assertions read) has no announcements, and asking it for one crashes once
// a widget's context is in use. The tests are linked with the game's calls
// coming here (-Wl,--wrap): under that backend they are dropped.
extern "C" void __real_gtk_accessible_announce(GtkAccessible* self, const char* message,
                                               GtkAccessibleAnnouncementPriority priority);
extern "C" void __wrap_gtk_accessible_announce(GtkAccessible* self, const char* message,
                                               GtkAccessibleAnnouncementPriority priority)
{
    if (g_strcmp0(g_getenv("GTK_A11Y"), "test") != 0)
        __real_gtk_accessible_announce(self, message, priority);
}
#endif

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
