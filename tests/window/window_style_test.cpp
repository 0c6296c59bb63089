// The game window's look on whatever theme the player has: every label
// legible against what lies under it, the end-of-game alert too, on the
// theme the test is started in (GTK_THEME, or none) and on each theme a
// desktop's settings daemon switches to while the game runs; and the
// environment left as it was when the display opened.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "board_look.hpp"
#include "game_window.hpp"
#include "window_harness.hpp"

namespace
{

// Runs the main loop until `done` holds, for a few seconds at most.
template <typename Done> bool wait_until(Done done)
{
    const gint64 give_up = g_get_monotonic_time() + 5 * G_USEC_PER_SEC;
    while (!done() && g_get_monotonic_time() < give_up)
        g_main_context_iteration(nullptr, TRUE);
    return done();
}

// Lets the toolkit restyle and paint the window anew.
void wait_frames(GtkWidget* window, int frames)
{
    int ticks = 0;
    const auto tick = [](GtkWidget*, GdkFrameClock*, gpointer count) -> gboolean {
        ++*static_cast<int*>(count);
        return G_SOURCE_CONTINUE;
    };
    const guint id = gtk_widget_add_tick_callback(window, tick, &ticks, nullptr);
    wait_until([&] { return ticks >= frames; });
    gtk_widget_remove_tick_callback(window, id);
}

// A window as the toolkit renders it, into an image surface.
cairo_surface_t* render(GtkWidget* window)
{
    const int width = gtk_widget_get_width(window), height = gtk_widget_get_height(window);
    GdkPaintable* paintable = gtk_widget_paintable_new(window);
    GtkSnapshot* snapshot = gtk_snapshot_new();
    gdk_paintable_snapshot(paintable, snapshot, width, height);
    GskRenderNode* node = gtk_snapshot_free_to_node(snapshot);
    const graphene_rect_t area = GRAPHENE_RECT_INIT(0, 0, float(width), float(height));
    GdkTexture* texture = gsk_renderer_render_texture(gtk_native_get_renderer(GTK_NATIVE(window)), node, &area);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    gdk_texture_download(texture, cairo_image_surface_get_data(surface), cairo_image_surface_get_stride(surface));
    cairo_surface_mark_dirty(surface);
    g_object_unref(texture);
    gsk_render_node_unref(node);
    g_object_unref(paintable);
    return surface;
}

// Within a label's bounds, what lies under the text is the colour most of
// the pixels have, and the text reads as well as its pixel that stands out
// most from it.
double label_contrast(cairo_surface_t* pixels, GtkWidget* window, GtkWidget* label, Rgb& under)
{
    graphene_rect_t box;
    if (!gtk_widget_compute_bounds(label, window, &box))
        return 0;
    const auto key = [](Rgb c) { return c.r << 16 | c.g << 8 | c.b; };
    std::map<int, int> counts;
    std::vector<Rgb> colours;
    for (int y = int(box.origin.y); y < int(box.origin.y + box.size.height); ++y)
        for (int x = int(box.origin.x); x < int(box.origin.x + box.size.width); ++x) {
            const Rgb c = surface_pixel(pixels, x, y);
            if (counts[key(c)]++ == 0)
                colours.push_back(c);
        }
    if (colours.empty())
        return 0;
    under = *std::max_element(colours.begin(), colours.end(),
                              [&](Rgb a, Rgb b) { return counts[key(a)] < counts[key(b)]; });
    double best = 1;
    for (const Rgb c : colours)
        best = std::max(best, contrast_ratio(c, under));
    return best;
}

// Every label drawn in the window reads at `least` : 1 or more. Prints their
// contrasts and gives what lies under the first (the window's background, or
// the alert's).
Rgb expect_labels_legible(GtkWidget* window, double least, const std::string& what)
{
    cairo_surface_t* pixels = render(window);
    Rgb first{-1, -1, -1};
    std::string shown = what + ":";
    for (GtkWidget* label : widgets_of_type(window, GTK_TYPE_LABEL)) {
        const char* text = gtk_label_get_text(GTK_LABEL(label));
        if (!gtk_widget_is_drawable(label) || !*text)
            continue;
        Rgb under;
        const double contrast = label_contrast(pixels, window, label, under);
        EXPECT_GE(contrast, least) << what << ": \"" << text << "\" on " << describe(under);
        if (first.r < 0)
            first = under;
        char figure[16];
        std::snprintf(figure, sizeof figure, " %.2f", contrast);
        shown += figure;
    }
    cairo_surface_destroy(pixels);
    EXPECT_GE(first.r, 0) << what << ": no label drawn";
    std::printf("%s on %s\n", shown.c_str(), describe(first).c_str());
    return first;
}

std::string theme_in_settings()
{
    gchar* name = nullptr;
    g_object_get(gtk_settings_get_default(), "gtk-theme-name", &name, nullptr);
    std::string theme = name ? name : "";
    g_free(name);
    return theme;
}

// The desktop's settings daemon on the test's display, naming one theme
// after the other as a desktop does: its file rewritten and read again.
struct DesktopSettings {
    char file[64] = "/tmp/tavelorn-xsettings.XXXXXX";
    GPid pid = 0;

    DesktopSettings() { close(mkstemp(file)); }

    bool switch_to(const std::string& theme)
    {
        std::ofstream(file) << "Net/ThemeName \"" << theme << "\"\n";
        const char* argv[] = {"xsettingsd", "-c", file, nullptr};
        constexpr auto flags =
            GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDERR_TO_DEV_NULL);
        if (pid)
            kill(pid, SIGHUP);
        else if (!g_spawn_async(nullptr, const_cast<char**>(argv), nullptr, flags, nullptr, nullptr, &pid, nullptr))
            return false;
        return wait_until([&] { return theme_in_settings() == theme; });
    }

    ~DesktopSettings()
    {
        if (pid) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        unlink(file);
    }
};

void labels_legible_on_every_theme(GtkApplication*)
{
    wait_for_board_on_screen();
    GtkWidget* window = gtk_widget_get_ancestor(drawing_area, GTK_TYPE_WINDOW);
    EXPECT_EQ(environment_changes(), "") << "once the window is up";

    show_game_over_popup("Bleu gagne !", GTK_WINDOW(window));
    const std::vector<GtkWindow*> alerts = open_alerts(GTK_WINDOW(window));
    ASSERT_EQ(alerts.size(), 1u);
    GtkWidget* alert = GTK_WIDGET(alerts[0]);

    // The theme the test started in, then those a desktop switches to: both
    // high-contrast ones (GTK 4.8 knows the inverse one by its file's name
    // only) and the dark variant, whose name from GTK 4.20 on also asks for
    // the dark scheme.
    const char* named = g_getenv("GTK_THEME");
    const struct {
        std::string name;
        bool dark;
    } themes[] = {{named ? named : "the default theme", false},
                  {"HighContrast", false},
                  {GTK_CHECK_VERSION(4, 18, 0) ? "HighContrastInverse" : "Default-hc-dark", true},
                  {"Adwaita-dark", true}};

    DesktopSettings desktop;
    for (const auto& theme : themes) {
        if (&theme != themes) {
            ASSERT_TRUE(desktop.switch_to(theme.name)) << "no switch to " << theme.name;
        }
        wait_frames(window, 3);
        expect_labels_legible(window, 3.0, theme.name + ", the window");
        const Rgb alert_under = expect_labels_legible(alert, 4.5, theme.name + ", the alert");
        // The alert is the theme's own, unless the player's GTK_THEME holds:
        // it shows that the theme reached the toolkit.
        if (!named) {
            EXPECT_EQ(luminance(alert_under) < 0.2, theme.dark) << theme.name << " did not reach the toolkit";
        }
    }
    EXPECT_EQ(environment_changes(), "") << "after the desktop's switches";
    gtk_window_destroy(GTK_WINDOW(alert));
}

} // namespace

TEST(WindowStyle, LabelsAndAlertLegibleOnEveryThemeAndTheEnvironmentLeftAlone)
{
    run_game_window(labels_legible_on_every_theme);
}
