// The plain message box: GtkMessageDialog with one OK button.
#include "platform/message_box.h"

#include <gtk/gtk.h>

#include "platform/window.h"

namespace platform {

void ShowMessageBox(Window* owner, const std::string& text) {
    RunOnUiThread([&] {
        GtkWindow* parent = nullptr;
        if (owner != nullptr && owner->Exists()) {
            parent = GTK_WINDOW(owner->NativeHandle());
        }
        GtkWidget* dialog = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER,
                                                   GTK_BUTTONS_OK, "%s", text.c_str());
        if (owner != nullptr && owner->Exists()) {
            gtk_window_set_title(GTK_WINDOW(dialog), owner->Title().c_str());
        }
        const bool wasEnabled = owner != nullptr && owner->Exists() && owner->IsEnabled();
        if (wasEnabled) {
            owner->SetEnabled(false);
        }
        gtk_dialog_run(GTK_DIALOG(dialog));
        if (wasEnabled && owner->Exists()) {
            owner->SetEnabled(true);
        }
        gtk_widget_destroy(dialog);
    });
}

}  // namespace platform
