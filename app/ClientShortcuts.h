// The client's two launcher shortcuts.
#pragma once

#include <string>

// The shortcuts' name, as the menu and the desktop show it.
inline constexpr const char* kShortcutName = "Orvik云电脑";

// Makes the "Orvik云电脑" shortcut to `target` in the applications menu, then on the desktop.
// Failures leave that shortcut out and are not reported.
void CreateClientShortcuts(std::string target);
