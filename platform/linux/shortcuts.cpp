#include "platform/shortcuts.h"

#include <glib.h>
#include <glib/gstdio.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "platform/linux/xdg_dirs.h"

namespace platform {
namespace {

constexpr const char* kGroup = "Desktop Entry";

struct KeyFileDeleter {
    void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
struct GFreeDeleter {
    void operator()(void* p) const { g_free(p); }
};

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Keeps the text a valid key file string: invalid UTF-8 becomes replacement characters.
std::string ValidText(const std::string& text) {
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
        return text;
    }
    std::unique_ptr<gchar, GFreeDeleter> valid(
        g_utf8_make_valid(text.data(), static_cast<gssize>(text.size())));
    return valid.get();
}

}  // namespace

std::optional<std::string> ShortcutFolderPath(ShortcutFolder folder) {
    if (folder == ShortcutFolder::Programs) {
        return xdg::DataHome() + "/applications";
    }
    // As GLib reads user-dirs.dirs (and its answer when the file names no desktop folder).
    const gchar* desktop = g_get_user_special_dir(G_USER_DIRECTORY_DESKTOP);
    if (desktop == nullptr || desktop[0] == '\0') {
        return std::nullopt;
    }
    return std::string(desktop);
}

std::string DesktopEntryExec(const std::string& target) {
    // The whole path is one quoted argument, so spaces and the other reserved characters
    // need no further care; inside quotes only these four take a backslash. A literal
    // percent sign is doubled everywhere, or it would start a field code.
    std::string exec = "\"";
    for (const char c : target) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            exec += '\\';
            exec += c;
        } else if (c == '%') {
            exec += "%%";
        } else {
            exec += c;
        }
    }
    exec += '"';
    return exec;
}

bool SaveShortcut(ShortcutFolder folder, const std::string& name, const std::string& target) {
    // An entry's strings cannot hold control characters: such a target has no valid entry.
    const auto isControl = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; };
    if (std::any_of(target.begin(), target.end(), isControl) ||
        std::any_of(name.begin(), name.end(), isControl)) {
        return false;
    }
    const std::optional<std::string> dir = ShortcutFolderPath(folder);
    if (!dir) {
        return false;
    }
    if (folder == ShortcutFolder::Programs) {
        g_mkdir_with_parents(dir->c_str(), 0755);  // a standard per-user data folder
    }
    if (!IsDirectory(*dir)) {
        return false;
    }
    std::unique_ptr<GKeyFile, KeyFileDeleter> file(g_key_file_new());
    g_key_file_set_string(file.get(), kGroup, "Type", "Application");
    g_key_file_set_string(file.get(), kGroup, "Name", ValidText(name).c_str());
    // set_string adds the key file's escaping (a backslash doubled) on top of the quoting.
    g_key_file_set_string(file.get(), kGroup, "Exec", ValidText(DesktopEntryExec(target)).c_str());
    gsize length = 0;
    std::unique_ptr<gchar, GFreeDeleter> data(g_key_file_to_data(file.get(), &length, nullptr));
    if (data == nullptr) {
        return false;
    }
    const std::string path = *dir + "/" + name + ".desktop";
    // Desktops launch an entry on the desktop only when it is executable (a trusted launcher).
    const int mode = folder == ShortcutFolder::Desktop ? 0755 : 0644;
    return g_file_set_contents_full(path.c_str(), data.get(), static_cast<gssize>(length),
                                    G_FILE_SET_CONTENTS_CONSISTENT, mode, nullptr);
}

}  // namespace platform
