/* A bare GTK 4 application window with the game window's content and
 * nothing of the game, for comparing start-up time, memory and idle CPU: the
 * same boxes, the same seven labels with the texts and markup of a new game,
 * and an empty 528 x 528 drawing area where the board would be. Built with
 * WITH_POLL_TIMER, it also runs an empty 100 ms repeating timer, as the game
 * does to poll its peer. */
#include <gtk/gtk.h>

#ifdef WITH_POLL_TIMER
static gboolean do_nothing(gpointer user_data)
{
    (void)user_data;
    return TRUE;
}
#endif

static GtkWidget* markup_label(const char* markup)
{
    GtkWidget* label = gtk_label_new(NULL);
    gtk_label_set_markup(GTK_LABEL(label), markup);
    return label;
}

static GtkWidget* side_column(const char* title, const char* colour)
{
    char score[256], turn[256];
    g_snprintf(score, sizeof score, "<span size='18000' weight='bold' foreground='%s'>Contrôle: 10 | Soldats: 9</span>",
               colour);
    g_snprintf(turn, sizeof turn, "<span size='16000' foreground='%s'>Tour 1 / 64</span>", colour);
    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 20);
    gtk_box_append(GTK_BOX(column), markup_label(title));
    gtk_box_append(GTK_BOX(column), markup_label(score));
    gtk_box_append(GTK_BOX(column), markup_label(turn));
    return column;
}

static void activate(GtkApplication* app, gpointer user_data)
{
    (void)user_data;
    GtkWidget* window = gtk_application_window_new(app);
    gtk_window_set_title(GTK_WINDOW(window), "Bare window");
    gtk_window_set_default_size(GTK_WINDOW(window), 800, 500);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);

    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 10);
    GtkWidget* blue =
        side_column("<span size='20000' weight='bold' foreground='#1E90FF'>Joueur Bleu</span>", "#1E90FF");
    gtk_widget_set_margin_start(blue, 20);
    GtkWidget* centre = gtk_box_new(GTK_ORIENTATION_VERTICAL, 10);
    GtkWidget* turn = markup_label("<span size='22000' weight='bold' foreground='#FFD700'>Au tour de: Bleu</span>");
    gtk_widget_set_halign(turn, GTK_ALIGN_CENTER);
    gtk_box_append(GTK_BOX(centre), turn);
    GtkWidget* area = gtk_drawing_area_new();
    gtk_widget_set_size_request(area, 528, 528);
    gtk_box_append(GTK_BOX(centre), area);
    GtkWidget* red =
        side_column("<span size='20000' weight='bold' foreground='#FF3030'>Joueur Rouge</span>", "#FF3030");
    gtk_widget_set_margin_end(red, 20);
    gtk_box_append(GTK_BOX(row), blue);
    gtk_box_append(GTK_BOX(row), centre);
    gtk_box_append(GTK_BOX(row), red);
#ifdef WITH_POLL_TIMER
    g_timeout_add(100, do_nothing, NULL);
#endif
    gtk_window_set_child(GTK_WINDOW(window), row);
    gtk_window_present(GTK_WINDOW(window));
}

int main(int argc, char** argv)
{
    (void)argc;
    GtkApplication* app = gtk_application_new("org.tavelorn.BareWindow", G_APPLICATION_DEFAULT_FLAGS);
    g_signal_connect(app, "activate", G_CALLBACK(activate), NULL);
    int status = g_application_run(G_APPLICATION(app), 1, argv);
    g_object_unref(app);
    return status;
}
