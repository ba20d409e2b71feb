#pragma once
// Where this system keeps per-user application data. The one place that asks
// the operating system; everything else builds on the folder it returns.
#include <filesystem>
#include <optional>

namespace ombrix::platform {

// The user's local (non-roaming) application data folder, always an absolute
// path, or nothing when the system cannot name it.
//
// Linux and other XDG systems: $XDG_DATA_HOME when it is set to an absolute
// path, else $HOME/.local/share; when $HOME is unset, empty or relative, the
// home folder of the password database entry of the effective user. An empty
// or relative $XDG_DATA_HOME is ignored, as the XDG convention asks.
// (A Windows build answers with CSIDL_LOCAL_APPDATA here.)
std::optional<std::filesystem::path> LocalDataFolder();

}  // namespace ombrix::platform
