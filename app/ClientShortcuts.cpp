#include "app/ClientShortcuts.h"

#include "platform/shortcuts.h"

void CreateClientShortcuts(std::string target) {
    platform::SaveShortcut(platform::ShortcutFolder::Programs, kShortcutName, target);
    platform::SaveShortcut(platform::ShortcutFolder::Desktop, kShortcutName, target);
}
