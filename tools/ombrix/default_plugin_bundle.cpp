#include <filesystem>
#include <system_error>

#include "library/file_helpers.h"
#include "tools/ombrix/plugin_render.h"

namespace ombrix::cli {

std::string DefaultPluginBundle() {
  // An installed ombrix uses the bundle installed beside it: /usr/bin/ombrix
  // the one in /usr/lib/vst3, ~/.local/bin/ombrix the one in ~/.vst3.
  std::error_code error;
  const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe", error);
  if (!error) {
    const std::filesystem::path prefix = self.parent_path().parent_path();
    for (const std::filesystem::path& candidate :
         {prefix / "lib/vst3/Ombrix.vst3", prefix.parent_path() / ".vst3/Ombrix.vst3"}) {
      if (std::filesystem::is_directory(candidate, error)) return PathToUtf8(candidate);
    }
  }
  // The build's own, beside a tool in the build tree.
  return OMBRIX_VST3_BUNDLE;
}

}  // namespace ombrix::cli
