#include "library/platform_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace ombrix::platform {
namespace {

std::optional<std::filesystem::path> AbsoluteFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  std::filesystem::path path(value);
  if (!path.is_absolute()) return std::nullopt;
  return path;
}

std::optional<std::filesystem::path> HomeFromPasswordDatabase() {
  long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
  for (int attempt = 0; attempt < 6; ++attempt) {
    passwd entry{};
    passwd* found = nullptr;
    const int error = getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found);
    if (error == ERANGE) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (error != 0 || found == nullptr || found->pw_dir == nullptr || *found->pw_dir == '\0') return std::nullopt;
    std::filesystem::path home(found->pw_dir);
    if (!home.is_absolute()) return std::nullopt;
    return home;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::filesystem::path> LocalDataFolder() {
  if (auto dataHome = AbsoluteFromEnvironment("XDG_DATA_HOME")) return dataHome;
  auto home = AbsoluteFromEnvironment("HOME");
  if (!home) home = HomeFromPasswordDatabase();
  if (!home) return std::nullopt;
  return *home / ".local" / "share";
}

}  // namespace ombrix::platform
