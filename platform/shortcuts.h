// Launcher shortcuts: desktop entries in the user's applications menu and on the desktop.
#pragma once

#include <optional>
#include <string>

namespace platform {

enum class ShortcutFolder {
    Programs,  // $XDG_DATA_HOME/applications, created when missing
    Desktop,   // the desktop folder of user-dirs.dirs; never created
};

// The folder a shortcut of that kind goes into, or nothing when there is none.
std::optional<std::string> ShortcutFolderPath(ShortcutFolder folder);

// Writes "<name>.desktop" into the folder (replacing it atomically): a desktop entry named
// `name` that starts `target` with no arguments. False when the folder is missing (the
// desktop) or cannot be created (the menu), the file cannot be written, or the target holds
// a control character (no valid entry can name it).
bool SaveShortcut(ShortcutFolder folder, const std::string& name, const std::string& target);

// The Exec value that starts `target` with no arguments, quoted by the desktop entry rules
// (before the key file's own string escaping is applied on top).
std::string DesktopEntryExec(const std::string& target);

}  // namespace platform
