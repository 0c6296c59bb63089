// The game window as activation builds it: title by mode, size, the widget
// tree, the label texts of a new game, a second activation, and the widget
// references once the window is gone.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "board_look.hpp"
#include "game_window.hpp"
#include "loopback.hpp"
#include "network.hpp"
#include "window_harness.hpp"

namespace
{

const char* const BLUE_TITLE = "<span size='20000' weight='bold' foreground='#1E90FF'>Joueur Bleu</span>";
const char* const RED_TITLE = "<span size='20000' weight='bold' foreground='#FF3030'>Joueur Rouge</span>";
const char* const BLUE_SCORE = "<span size='18000' weight='bold' foreground='#1E90FF'>Contrôle: 10 | Soldats: 9</span>";
const char* const RED_SCORE = "<span size='18000' weight='bold' foreground='#FF3030'>Contrôle: 10 | Soldats: 9</span>";
const char* const BLUE_TURN = "<span size='16000' foreground='#1E90FF'>Tour 1 / 64</span>";
const char* const RED_TURN = "<span size='16000' foreground='#FF3030'>Tour 1 / 64</span>";
const char* const BLUE_TO_MOVE = "<span size='22000' weight='bold' foreground='#FFD700'>Au tour de: Bleu</span>";

GtkWindow* game_window_of()
{
    return GTK_WINDOW(gtk_widget_get_root(drawing_area));
}

char* title_seen = nullptr;

void record_title(GtkApplication*)
{
    title_seen = g_strdup(gtk_window_get_title(game_window_of()));
}

// The title shown with the peer link in the given state.
std::string title_with_link(int32_t socket_fd, int32_t server)
{
    network_socket = socket_fd;
    is_server = server;
    run_game_window(record_title);
    network_socket = -1;
    is_server = 0;
    std::string title = title_seen ? title_seen : "";
    g_free(title_seen);
    title_seen = nullptr;
    return title;
}

// A non-blocking listener, as the server's own: the poll must never wait on it.
int loopback_listener()
{
    uint16_t port = 0;
    const int fd = listen_loopback(&port);
    if (fd < 0)
        ADD_FAILURE() << "no loopback listener";
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fd;
}

void expect_box(GtkWidget* widget, GtkOrientation orientation, int spacing)
{
    ASSERT_TRUE(GTK_IS_BOX(widget));
    EXPECT_EQ(gtk_orientable_get_orientation(GTK_ORIENTABLE(widget)), orientation);
    EXPECT_EQ(gtk_box_get_spacing(GTK_BOX(widget)), spacing);
    EXPECT_FALSE(gtk_box_get_homogeneous(GTK_BOX(widget)));
}

int child_count(GtkWidget* parent)
{
    int n = 0;
    for (GtkWidget* w = gtk_widget_get_first_child(parent); w; w = gtk_widget_get_next_sibling(w))
        ++n;
    return n;
}

// A column holding a title then the side's score and turn labels.
void expect_side_column(GtkWidget* column, const char* title, GtkWidget* score, GtkWidget* turn)
{
    expect_box(column, GTK_ORIENTATION_VERTICAL, 20);
    ASSERT_EQ(child_count(column), 3);
    GtkWidget* first = gtk_widget_get_first_child(column);
    ASSERT_TRUE(GTK_IS_LABEL(first));
    EXPECT_EQ(label_markup(first), title);
    EXPECT_EQ(gtk_widget_get_next_sibling(first), score);
    EXPECT_EQ(gtk_widget_get_last_child(column), turn);
}

TEST(WindowLayout, TitleNamesTheMode)
{
    EXPECT_EQ(title_with_link(-1, 0), "Tavelorn - Local");

    const int listener = loopback_listener();
    EXPECT_EQ(title_with_link(listener, 1), "Tavelorn - Serveur");
    close(listener);

    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, pair), 0);
    EXPECT_EQ(title_with_link(pair[0], 0), "Tavelorn - Client");
    close(pair[0]);
    close(pair[1]);
}

TEST(WindowLayout, WidgetTreeFollowsTheLayoutTable)
{
    run_game_window([](GtkApplication*) {
        GtkWindow* window = game_window_of();
        ASSERT_TRUE(GTK_IS_APPLICATION_WINDOW(window));
        EXPECT_FALSE(gtk_window_get_resizable(window));
        int width = 0, height = 0;
        gtk_window_get_default_size(window, &width, &height);
        EXPECT_EQ(width, 800);
        EXPECT_EQ(height, 500);

        GtkWidget* row = gtk_window_get_child(window);
        expect_box(row, GTK_ORIENTATION_HORIZONTAL, 10);
        ASSERT_EQ(child_count(row), 3);
        GtkWidget* blue = gtk_widget_get_first_child(row);
        GtkWidget* centre = gtk_widget_get_next_sibling(blue);
        GtkWidget* red = gtk_widget_get_next_sibling(centre);

        expect_side_column(blue, BLUE_TITLE, blue_score_label, blue_turn_label);
        EXPECT_EQ(gtk_widget_get_margin_start(blue), 20);
        EXPECT_EQ(gtk_widget_get_margin_end(blue), 0);
        expect_side_column(red, RED_TITLE, red_score_label, red_turn_label);
        EXPECT_EQ(gtk_widget_get_margin_start(red), 0);
        EXPECT_EQ(gtk_widget_get_margin_end(red), 20);

        expect_box(centre, GTK_ORIENTATION_VERTICAL, 10);
        ASSERT_EQ(child_count(centre), 2);
        EXPECT_EQ(gtk_widget_get_first_child(centre), turn_center_label);
        EXPECT_EQ(gtk_widget_get_halign(turn_center_label), GTK_ALIGN_CENTER);
        EXPECT_EQ(gtk_widget_get_last_child(centre), drawing_area);
        ASSERT_TRUE(GTK_IS_DRAWING_AREA(drawing_area));
        gtk_widget_get_size_request(drawing_area, &width, &height);
        EXPECT_EQ(width, 528);
        EXPECT_EQ(height, 528);
    });
}

TEST(WindowLayout, BoardTakesPrimaryButtonPresses)
{
    run_game_window([](GtkApplication*) {
        GListModel* controllers = gtk_widget_observe_controllers(drawing_area);
        int clicks = 0;
        for (guint i = 0; i < g_list_model_get_n_items(controllers); ++i) {
            GObject* controller = G_OBJECT(g_list_model_get_item(controllers, i));
            if (GTK_IS_GESTURE_CLICK(controller)) {
                ++clicks;
                EXPECT_EQ(gtk_gesture_single_get_button(GTK_GESTURE_SINGLE(controller)), GDK_BUTTON_PRIMARY);
            }
            g_object_unref(controller);
        }
        g_object_unref(controllers);
        EXPECT_EQ(clicks, 1);
    });
}

// The board widget's own rendering, into an image surface of the board's size.
cairo_surface_t* snapshot_board()
{
    GdkPaintable* paintable = gtk_widget_paintable_new(drawing_area);
    GtkSnapshot* snapshot = gtk_snapshot_new();
    gdk_paintable_snapshot(paintable, snapshot, BOARD_PX, BOARD_PX);
    GskRenderNode* node = gtk_snapshot_free_to_node(snapshot);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, BOARD_PX, BOARD_PX);
    cairo_t* cr = cairo_create(surface);
    if (node)
        gsk_render_node_draw(node, cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    if (node)
        gsk_render_node_unref(node);
    g_object_unref(paintable);
    return surface;
}

TEST(WindowLayout, BoardShowsWhatTheBoardDrawingPaints)
{
    run_game_window([](GtkApplication*) {
        wait_for_board_on_screen();
        ASSERT_EQ(gtk_widget_get_width(drawing_area), BOARD_PX);
        ASSERT_EQ(gtk_widget_get_height(drawing_area), BOARD_PX);
        cairo_surface_t* shown = snapshot_board();

        cairo_surface_t* painted = paint_board(BOARD_PX, BOARD_PX);

        const size_t bytes = size_t(cairo_image_surface_get_stride(painted)) * BOARD_PX;
        EXPECT_EQ(std::memcmp(cairo_image_surface_get_data(shown), cairo_image_surface_get_data(painted), bytes), 0);
        cairo_surface_destroy(shown);
        cairo_surface_destroy(painted);
    });
}

TEST(WindowLayout, LabelsShowTheNewGameFromTheStart)
{
    // Leftovers of an earlier game must not show.
    turn_count = 30;
    current_player = PLAYER_RED;
    run_game_window([](GtkApplication*) {
        EXPECT_EQ(label_markup(blue_score_label), BLUE_SCORE);
        EXPECT_EQ(label_markup(blue_turn_label), BLUE_TURN);
        EXPECT_EQ(label_markup(turn_center_label), BLUE_TO_MOVE);
        EXPECT_EQ(label_markup(red_score_label), RED_SCORE);
        EXPECT_EQ(label_markup(red_turn_label), RED_TURN);
        EXPECT_FALSE(board_is_frozen(drawing_area));
    });
}

TEST(WindowLayout, SecondActivationPresentsTheSameWindow)
{
    run_game_window([](GtkApplication* app) {
        GtkWindow* first = game_window_of();
        GtkWidget* board_before = drawing_area;
        GtkWidget* label_before = blue_score_label;
        has_selection = 1;
        sel_r = sel_c = 2; // a game in progress is kept as it is

        g_application_activate(G_APPLICATION(app));

        EXPECT_EQ(g_list_length(gtk_application_get_windows(app)), 1u);
        EXPECT_EQ(g_list_model_get_n_items(gtk_window_get_toplevels()), 1u);
        EXPECT_EQ(game_window_of(), first);
        EXPECT_EQ(drawing_area, board_before);
        EXPECT_EQ(blue_score_label, label_before);
        EXPECT_EQ(has_selection, 1);
        EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(first)));
    });
}

TEST(WindowLayout, ReferencesAreClearedWithTheWindow)
{
    run_game_window([](GtkApplication*) { ASSERT_NE(drawing_area, nullptr); });
    EXPECT_EQ(blue_score_label, nullptr);
    EXPECT_EQ(blue_turn_label, nullptr);
    EXPECT_EQ(turn_center_label, nullptr);
    EXPECT_EQ(drawing_area, nullptr);
    EXPECT_EQ(red_score_label, nullptr);
    EXPECT_EQ(red_turn_label, nullptr);

    // A later activation builds a complete window again.
    run_game_window([](GtkApplication*) {
        EXPECT_NE(drawing_area, nullptr);
        EXPECT_EQ(label_markup(turn_center_label), BLUE_TO_MOVE);
    });
}

} // namespace
