/* A bare GTK 4 application window of the game window's size, for comparing
 * start-up time, memory and idle CPU: an 800 x 500 default size and an
 * empty drawing area requesting 528 x 528 in a box, nothing else.
 * Given a width and a height, the drawing area requests that size instead,
 * so the window can be made exactly as large as another program's.
 * Built with WITH_LABEL, it also shows one line of text (the cost of setting
 * up fonts); with WITH_POLL_TIMER, it also runs an empty 100 ms repeating
 * timer, as the game does to poll its peer. */
#include <gtk/gtk.h>
#include <stdlib.h>

#ifdef WITH_POLL_TIMER
static gboolean do_nothing(gpointer user_data)
{
    (void)user_data;
    return TRUE;
}
#endif

static int area_width = 528, area_height = 528;

static void activate(GtkApplication* app, gpointer user_data)
{
    (void)user_data;
    GtkWidget* window = gtk_application_window_new(app);
    gtk_window_set_title(GTK_WINDOW(window), "Bare window");
    gtk_window_set_default_size(GTK_WINDOW(window), 800, 500);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);

    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 10);
    GtkWidget* area = gtk_drawing_area_new();
    gtk_widget_set_size_request(area, area_width, area_height);
    gtk_box_append(GTK_BOX(box), area);
#ifdef WITH_LABEL
    GtkWidget* label = gtk_label_new(NULL);
    gtk_label_set_markup(GTK_LABEL(label), "<span size='18000' weight='bold'>Label</span>");
    gtk_box_prepend(GTK_BOX(box), label);
#endif
#ifdef WITH_POLL_TIMER
    g_timeout_add(100, do_nothing, NULL);
#endif
    gtk_window_set_child(GTK_WINDOW(window), box);
    gtk_window_present(GTK_WINDOW(window));
}

int main(int argc, char** argv)
{
    if (argc == 3) {
        area_width = atoi(argv[1]);
        area_height = atoi(argv[2]);
    }
    GtkApplication* app = gtk_application_new("org.tavelorn.BareWindow", G_APPLICATION_DEFAULT_FLAGS);
    g_signal_connect(app, "activate", G_CALLBACK(activate), NULL);
    int status = g_application_run(G_APPLICATION(app), 1, argv);
    g_object_unref(app);
    return status;
}
