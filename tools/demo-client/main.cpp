// A stand-in for the cloud-PC client: one window with the product's name that runs until it
// is closed, so an install can be seen to start something real.
#include <gtk/gtk.h>

#include <string>

namespace {

void Activate(GtkApplication* application, gpointer) {
    GtkWidget* window = gtk_application_window_new(application);
    gtk_window_set_title(GTK_WINDOW(window), "Orvik云电脑");
    gtk_window_set_default_size(GTK_WINDOW(window), 480, 300);

    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
    gtk_container_set_border_width(GTK_CONTAINER(box), 24);
    GtkWidget* title = gtk_label_new(nullptr);
    gtk_label_set_markup(GTK_LABEL(title),
                         "<span size='xx-large' weight='bold'>Orvik云电脑</span>");
    gchar* folder = g_get_current_dir();
    const std::string where = std::string("运行于 ") + folder;
    g_free(folder);
    GtkWidget* detail = gtk_label_new(where.c_str());
    gtk_label_set_line_wrap(GTK_LABEL(detail), TRUE);
    gtk_box_pack_start(GTK_BOX(box), title, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(box), detail, FALSE, FALSE, 0);
    gtk_container_add(GTK_CONTAINER(window), box);
    gtk_widget_show_all(window);
}

}  // namespace

int main(int argc, char** argv) {
    // Several clients may run side by side (the installer looks for them by name).
    GtkApplication* application = gtk_application_new(nullptr, G_APPLICATION_NON_UNIQUE);
    g_signal_connect(application, "activate", G_CALLBACK(Activate), nullptr);
    const int status = g_application_run(G_APPLICATION(application), argc, argv);
    g_object_unref(application);
    return status;
}
