// The Windows side of platform_folders.h: the local (non-roaming)
// application data folder, %LOCALAPPDATA%.
#include <windows.h>
// windows.h first: the shell header needs its types.
#include <shlobj.h>

#include "library/platform_folders.h"

namespace ombrix::platform {

std::optional<std::filesystem::path> LocalDataFolder() {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) {
    return std::nullopt;
  }
  std::filesystem::path path(folder);
  if (path.empty() || !path.is_absolute()) return std::nullopt;
  return path;
}

}  // namespace ombrix::platform
