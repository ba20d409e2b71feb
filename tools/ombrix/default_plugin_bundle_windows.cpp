#include <shlobj.h>
#include <windows.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "library/file_helpers.h"
#include "tools/ombrix/plugin_render.h"

namespace ombrix::cli {

namespace {

std::filesystem::path ThisProgram() {
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return {};
  path.resize(length);
  return path;
}

// %CommonProgramFiles%\VST3, where VST3 hosts on Windows look for plug-ins.
std::filesystem::path CommonVst3Folder() {
  wchar_t folder[MAX_PATH] = {};
  if (SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES_COMMON, nullptr, 0, folder) != S_OK) return {};
  return std::filesystem::path(folder) / L"VST3";
}

}  // namespace

std::string DefaultPluginBundle() {
  // A bundle beside the program (an unpacked zip), the build's own beside a
  // tool in the build tree, else the one the installer put where hosts look.
  std::error_code error;
  const std::filesystem::path program = ThisProgram();
  const std::filesystem::path installed = CommonVst3Folder() / L"Ombrix.vst3";
  if (!program.empty()) {
    const std::filesystem::path folder = program.parent_path();
    for (const std::filesystem::path& candidate :
         {folder / L"Ombrix.vst3",
          folder.parent_path() / PathFromUtf8("plugin/Ombrix_artefacts/Release/VST3/Ombrix.vst3")}) {
      if (std::filesystem::is_directory(candidate, error)) return PathToUtf8(candidate);
    }
  }
  return PathToUtf8(installed);
}

}  // namespace ombrix::cli
