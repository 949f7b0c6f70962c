// The per-user base folders, read from the environment on every call (GLib caches its own
// copies for the life of the process, which would pin the first answer).
#pragma once

#include <string>

namespace platform::xdg {

// $HOME, else the password database's home folder; never with a final '/' (except "/").
std::string HomeDir();
// $XDG_CONFIG_HOME when absolute, else ~/.config.
std::string ConfigHome();
// $XDG_DATA_HOME when absolute, else ~/.local/share.
std::string DataHome();

}  // namespace platform::xdg
