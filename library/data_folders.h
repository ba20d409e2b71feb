#pragma once
// The per-user folders of the plug-in and of the maker's shared files.
//
//   <data>/Ombrix            ProductFolder
//   <data>/Ombrix/Targets    TargetsFolder      user targets (".omtarget")
//   <data>/Ombrix/Presets    PresetsFolder      presets (".ompreset")
//   <data>/Kestrune/Shared   MakerSharedFolder  "updates.json", "updates-off"
//
// <data> is the user's local application data folder (on Linux the XDG data
// home, normally ~/.local/share). Every call computes the path afresh; no
// folder is created here: the write procedures of file_helpers create what
// is missing.
//
// When the system cannot name the user's data folder, each of these returns
// an empty path. The file helpers refuse paths that are not absolute (listing
// finds nothing, reading finds nothing, writing fails with
// kNoDataFolderReason), so nothing ever lands relative to the working folder.
#include <filesystem>

namespace ombrix {

std::filesystem::path ProductFolder();
std::filesystem::path TargetsFolder();
std::filesystem::path PresetsFolder();
// Shared by all of the maker's plug-ins: each of them must use this same path.
std::filesystem::path MakerSharedFolder();

}  // namespace ombrix
