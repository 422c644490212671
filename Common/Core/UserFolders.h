// The per-user folders of every deliverable, as the desktop's conventions
// place them: settings under $XDG_CONFIG_HOME/tarnby, data (databases,
// reports, error logs) under $XDG_DATA_HOME/tarnby. A variable that is unset
// or not an absolute path gives way to ~/.config and ~/.local/share, the
// home folder taken from HOME, else from the password database.
#pragma once

#include <string>

namespace orv {

// Both without a trailing separator.
std::string UserConfigFolder();
std::string UserDataFolder();

}  // namespace orv
