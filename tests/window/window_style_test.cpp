// The game window's look on whatever theme the player has: every label
// legible against what lies under it, the end-of-game alert too, on the
// theme the test is started in (GTK_THEME, or none) and on each theme a
// desktop's settings daemon switches to while the game runs; and the
// environment left as it was when the display opened.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "board_look.hpp"
#include "game_window.hpp"
#include "window_harness.hpp"

namespace
{

constexpr gint64 WAIT_US = 5 * G_USEC_PER_SEC;

// A window as the toolkit renders it.
struct Pixels {
    int width = 0, height = 0;
    std::vector<uint32_t> argb;
    Rgb at(int x, int y) const
    {
        const uint32_t v = argb[static_cast<size_t>(y) * width + x];
        return {int(v >> 16 & 0xFF), int(v >> 8 & 0xFF), int(v & 0xFF)};
    }
};

Pixels render(GtkWidget* window)
{
    Pixels pixels;
    pixels.width = gtk_widget_get_width(window);
    pixels.height = gtk_widget_get_height(window);
    GdkPaintable* paintable = gtk_widget_paintable_new(window);
    GtkSnapshot* snapshot = gtk_snapshot_new();
    gdk_paintable_snapshot(paintable, snapshot, pixels.width, pixels.height);
    GskRenderNode* node = gtk_snapshot_free_to_node(snapshot);
    const graphene_rect_t area = GRAPHENE_RECT_INIT(0, 0, float(pixels.width), float(pixels.height));
    GdkTexture* texture = gsk_renderer_render_texture(gtk_native_get_renderer(GTK_NATIVE(window)), node, &area);
    pixels.argb.resize(static_cast<size_t>(pixels.width) * pixels.height);
    gdk_texture_download(texture, reinterpret_cast<guchar*>(pixels.argb.data()), pixels.width * 4);
    g_object_unref(texture);
    gsk_render_node_unref(node);
    g_object_unref(paintable);
    return pixels;
}

// Within a label's bounds, what lies under the text is the colour most
// pixels have; the text's contrast is that of the pixel that stands out most.
double label_contrast(const Pixels& pixels, GtkWidget* window, GtkWidget* label, Rgb* under)
{
    graphene_rect_t bounds;
    if (!gtk_widget_compute_bounds(label, window, &bounds))
        return 0;
    std::map<std::tuple<int, int, int>, int> counts;
    const int x0 = int(bounds.origin.x), y0 = int(bounds.origin.y);
    const int x1 = std::min(pixels.width, int(bounds.origin.x + bounds.size.width));
    const int y1 = std::min(pixels.height, int(bounds.origin.y + bounds.size.height));
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const Rgb c = pixels.at(x, y);
            counts[{c.r, c.g, c.b}]++;
        }
    if (counts.empty())
        return 0;
    const auto most = std::max_element(counts.begin(), counts.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    *under = {std::get<0>(most->first), std::get<1>(most->first), std::get<2>(most->first)};
    double best = 1;
    for (const auto& [colour, count] : counts)
        best = std::max(best, contrast_ratio({std::get<0>(colour), std::get<1>(colour), std::get<2>(colour)}, *under));
    return best;
}

// Every label of the window reads at `least` : 1. Gives what lies under the
// first (the window's background, or the alert's) and each label's contrast.
struct Legibility {
    Rgb under{-1, -1, -1};
    std::string contrasts;
};

Legibility expect_labels_legible(GtkWidget* window, double least, const std::string& what)
{
    const Pixels pixels = render(window);
    Legibility seen;
    for (GtkWidget* label : widgets_of_type(window, GTK_TYPE_LABEL)) {
        if (!gtk_widget_is_drawable(label) || !*gtk_label_get_text(GTK_LABEL(label)))
            continue;
        Rgb under;
        const double contrast = label_contrast(pixels, window, label, &under);
        EXPECT_GE(contrast, least) << what << ": \"" << gtk_label_get_text(GTK_LABEL(label)) << "\" on "
                                   << describe(under);
        if (seen.contrasts.empty())
            seen.under = under;
        char shown[16];
        std::snprintf(shown, sizeof shown, " %.2f", contrast);
        seen.contrasts += shown;
    }
    EXPECT_FALSE(seen.contrasts.empty()) << what << ": no label drawn";
    return seen;
}

// Lets the toolkit restyle and paint the windows anew.
void wait_frames(GtkWidget* window, int frames)
{
    int ticks = 0;
    const guint id = gtk_widget_add_tick_callback(
        window,
        [](GtkWidget*, GdkFrameClock*, gpointer count) -> gboolean {
            ++*static_cast<int*>(count);
            return G_SOURCE_CONTINUE;
        },
        &ticks, nullptr);
    const gint64 give_up = g_get_monotonic_time() + WAIT_US;
    while (ticks < frames && g_get_monotonic_time() < give_up)
        g_main_context_iteration(nullptr, TRUE);
    gtk_widget_remove_tick_callback(window, id);
}

std::string theme_in_settings()
{
    gchar* name = nullptr;
    g_object_get(gtk_settings_get_default(), "gtk-theme-name", &name, nullptr);
    std::string theme = name ? name : "";
    g_free(name);
    return theme;
}

// The desktop's settings daemon on the test's display, as a desktop runs it:
// each switch rewrites its file and has it read again.
struct DesktopSettings {
    char file[64] = "/tmp/tavelorn-xsettings.XXXXXX";
    GPid pid = 0;

    bool switch_to(const std::string& theme)
    {
        if (!pid) {
            const int fd = mkstemp(file);
            if (fd < 0)
                return false;
            close(fd);
        }
        std::ofstream(file) << "Net/ThemeName \"" << theme << "\"\n";
        if (pid)
            kill(pid, SIGHUP);
        else if (!start())
            return false;
        const gint64 give_up = g_get_monotonic_time() + WAIT_US;
        while (theme_in_settings() != theme && g_get_monotonic_time() < give_up)
            g_main_context_iteration(nullptr, TRUE);
        return theme_in_settings() == theme;
    }

    bool start()
    {
        const char* argv[] = {"xsettingsd", "-c", file, nullptr};
        constexpr auto flags =
            GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDERR_TO_DEV_NULL);
        return g_spawn_async(nullptr, const_cast<char**>(argv), nullptr, flags, nullptr, nullptr, &pid, nullptr);
    }

    ~DesktopSettings()
    {
        if (pid) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
            unlink(file);
        }
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
        const Legibility labels = expect_labels_legible(window, 3.0, theme.name);
        const Legibility in_alert = expect_labels_legible(alert, 4.5, theme.name + ", the alert");
        std::printf("%s: labels at%s on %s; the alert's at%s on %s\n", theme.name.c_str(), labels.contrasts.c_str(),
                    describe(labels.under).c_str(), in_alert.contrasts.c_str(), describe(in_alert.under).c_str());
        // The alert is the theme's own, unless the player's GTK_THEME holds:
        // it shows that the theme reached the toolkit.
        if (!named) {
            EXPECT_EQ(luminance(in_alert.under) < 0.2, theme.dark) << theme.name << " did not reach the toolkit";
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
