// The folder chooser: GtkFileChooserNative in select-folder mode.
#include "platform/folder_picker.h"

#include <gtk/gtk.h>

#include <cstdlib>

#include "platform/window.h"

namespace platform {
namespace {

// The chooser cannot start in a folder that does not exist yet (an install folder before
// the install): use the nearest parent that does.
std::string ExistingFolder(std::string folder) {
    while (!folder.empty()) {
        if (g_file_test(folder.c_str(), G_FILE_TEST_IS_DIR)) {
            return folder;
        }
        gchar* parent = g_path_get_dirname(folder.c_str());
        std::string next = parent;
        g_free(parent);
        if (next == folder) {
            break;
        }
        folder = next;
    }
    return std::string();
}

std::string WithoutFinalSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::optional<std::string> RunChooser(Window* owner, const std::string& startFolder) {
    GtkWindow* parent = nullptr;
    if (owner != nullptr && owner->Exists()) {
        parent = GTK_WINDOW(owner->NativeHandle());
    }
    GtkFileChooserNative* chooser = gtk_file_chooser_native_new(
        "选择文件夹", parent, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, nullptr, nullptr);
    GtkFileChooser* fc = GTK_FILE_CHOOSER(chooser);
    gtk_file_chooser_set_local_only(fc, TRUE);
    gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(chooser), TRUE);
    if (const std::string start = ExistingFolder(startFolder); !start.empty()) {
        gtk_file_chooser_set_current_folder(fc, start.c_str());
    }
    const bool wasEnabled = owner != nullptr && owner->Exists() && owner->IsEnabled();
    if (wasEnabled) {
        owner->SetEnabled(false);
    }
    std::optional<std::string> chosen;
    if (gtk_native_dialog_run(GTK_NATIVE_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        if (gchar* name = gtk_file_chooser_get_filename(fc)) {
            chosen = WithoutFinalSlash(name);
            g_free(name);
        }
    }
    if (wasEnabled && owner->Exists()) {
        owner->SetEnabled(true);
    }
    g_object_unref(chooser);
    return chosen;
}

}  // namespace

std::optional<std::string> PickFolder(Window* owner, const std::string& startFolder) {
    if (const char* hook = std::getenv("ORVIK_TEST_FOLDER_PICKER")) {
        if (*hook == '\0') {
            return std::nullopt;
        }
        return std::string(hook);
    }
    std::optional<std::string> chosen;
    RunOnUiThread([&] { chosen = RunChooser(owner, startFolder); });
    return chosen;
}

}  // namespace platform
