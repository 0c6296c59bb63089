// A minimal GTK application that opens one window titled "Exemple". Built
// twice: with EXAMPLE_WITH_LABEL set to 1 the window holds a label, with 0
// it stays empty. EXAMPLE_APP_ID names the application for both.
#include <gtk/gtk.h>

#ifndef EXAMPLE_WITH_LABEL
#define EXAMPLE_WITH_LABEL 1
#endif
#ifndef EXAMPLE_APP_ID
#define EXAMPLE_APP_ID "org.tavelorn.Exemple"
#endif

static void activate(GtkApplication* app)
{
    GtkWidget* window = gtk_application_window_new(app);
    gtk_window_set_application(GTK_WINDOW(window), app);
    gtk_window_set_title(GTK_WINDOW(window), "Exemple");
    gtk_window_set_default_size(GTK_WINDOW(window), 800, 500);
#if EXAMPLE_WITH_LABEL
    GtkWidget* label = gtk_label_new("Exemple d'application GTK");
    gtk_window_set_child(GTK_WINDOW(window), label);
#endif
    gtk_window_present(GTK_WINDOW(window));
}

int main(int argc, char** argv)
{
    GtkApplication* app = gtk_application_new(EXAMPLE_APP_ID, G_APPLICATION_DEFAULT_FLAGS);
    g_signal_connect_data(app, "activate", G_CALLBACK(activate), nullptr, nullptr, static_cast<GConnectFlags>(0));
    const int status = g_application_run(G_APPLICATION(app), argc, argv);
    g_object_unref(app);
    return status;
}
