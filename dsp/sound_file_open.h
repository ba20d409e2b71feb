#pragma once
// Opens a sound file through libsndfile by its path: on Windows as UTF-16
// (sf_wchar_open), so no character of the name is lost to the ANSI code page.
#include <sndfile.h>

#include <filesystem>

namespace ombrix::dsp {

// sf_open's contract: null when the file cannot be opened in that mode
// (SFM_READ or SFM_WRITE); info is read or, for writing, used.
SNDFILE* OpenSoundFile(const std::filesystem::path& path, int mode, SF_INFO& info);

}  // namespace ombrix::dsp
