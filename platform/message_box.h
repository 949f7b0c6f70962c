// The system's plain message box.
#pragma once

#include <string>

namespace platform {

class Window;

// Shows `text` with one OK button, modal over `owner` (may be null), and returns when the
// user has dismissed it. Any thread: from a worker it runs on the UI thread while the caller
// waits.
void ShowMessageBox(Window* owner, const std::string& text);

}  // namespace platform
