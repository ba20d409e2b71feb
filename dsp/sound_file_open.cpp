#include "dsp/sound_file_open.h"

namespace ombrix::dsp {

SNDFILE* OpenSoundFile(const std::filesystem::path& path, int mode, SF_INFO& info) {
#ifdef _WIN32
  return sf_wchar_open(path.c_str(), mode, &info);
#else
  return sf_open(path.c_str(), mode, &info);
#endif
}

}  // namespace ombrix::dsp
