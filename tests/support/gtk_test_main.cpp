// Test programs that make widgets need GTK up on a display before the first
// one exists.
#include <cstdio>

#include <gtest/gtest.h>
#include <gtk/gtk.h>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!gtk_init_check()) {
        std::fprintf(stderr, "No display: run through tests/support/with-xvfb.sh\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
