// The system's folder chooser.
#pragma once

#include <optional>
#include <string>

namespace platform {

class Window;

// Lets the user choose a local folder, modal over `owner` (may be null), starting in
// `startFolder` or its nearest existing parent. Returns the chosen path as the system gives
// it, without a final '/' except for "/" itself, or nothing when the user cancels.
// Any thread (the chooser runs on the UI thread).
//
// Test hook: when the environment variable ORVIK_TEST_FOLDER_PICKER is set, no chooser opens
// and its value is returned as the choice; an empty value counts as cancelled.
std::optional<std::string> PickFolder(Window* owner, const std::string& startFolder);

}  // namespace platform
