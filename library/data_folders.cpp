#include "library/data_folders.h"

#include "library/platform_folders.h"

namespace ombrix {
namespace {

std::filesystem::path BelowDataFolder(const char* first, const char* second = nullptr) {
  auto root = platform::LocalDataFolder();
  if (!root) return {};
  std::filesystem::path path = *root / first;
  if (second != nullptr) path /= second;
  return path;
}

}  // namespace

std::filesystem::path ProductFolder() { return BelowDataFolder("Ombrix"); }
std::filesystem::path TargetsFolder() { return BelowDataFolder("Ombrix", "Targets"); }
std::filesystem::path PresetsFolder() { return BelowDataFolder("Ombrix", "Presets"); }
std::filesystem::path MakerSharedFolder() { return BelowDataFolder("Kestrune", "Shared"); }

}  // namespace ombrix
