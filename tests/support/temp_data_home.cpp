#include "temp_data_home.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

#include "library/platform_folders.h"

namespace ombrix::test {
namespace {

void SetVariable(const std::string& name, const char* value) {
#ifdef _WIN32
  _putenv_s(name.c_str(), value != nullptr ? value : "");  // "" removes it
#else
  if (value != nullptr) {
    setenv(name.c_str(), value, 1);
  } else {
    unsetenv(name.c_str());
  }
#endif
}

// Removes everything below path, giving write permission back first: tests
// may have made folders read-only.
void RemoveTree(const std::filesystem::path& path) {
  std::error_code ignored;
  std::filesystem::permissions(path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
  for (auto it = std::filesystem::recursive_directory_iterator(path, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                   ignored);
    }
  }
  std::filesystem::remove_all(path, ignored);
}

#ifdef _WIN32
// Windows names the data folder itself (%LOCALAPPDATA%), so the tests use
// the real one, which must belong to a scratch profile such as the wine
// prefix of the build: the folders Ombrix and Kestrune are emptied.
std::filesystem::path ScratchLocalAppData() {
  const char* scratch = std::getenv("OMBRIX_TEST_SCRATCH_PROFILE");
  if (scratch == nullptr || std::string(scratch) != "1") {
    throw std::runtime_error(
        "the data-folder tests empty %LOCALAPPDATA%\\Ombrix and \\Kestrune; run them where "
        "OMBRIX_TEST_SCRATCH_PROFILE=1 says the profile is a scratch one (the build's wine prefix)");
  }
  const auto folder = platform::LocalDataFolder();
  if (!folder) throw std::runtime_error("no local application data folder");
  return *folder;
}
#endif

}  // namespace

std::filesystem::path MakeFreshTestFolder(const std::string& prefix) {
  const char* base = std::getenv("OMBRIX_TEST_TMP");
  std::filesystem::path root =
      (base != nullptr && *base != '\0') ? std::filesystem::path(base) : std::filesystem::temp_directory_path();
  root = std::filesystem::absolute(root);
  std::filesystem::create_directories(root);
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path folder = root / (prefix + "-" + std::to_string(random()));
    std::error_code error;
    if (std::filesystem::create_directory(folder, error)) return folder;
    if (error) throw std::filesystem::filesystem_error("cannot create test folder", folder, error);
  }
  throw std::runtime_error("no fresh test folder name under " + root.string());
}

ScopedEnvironment::ScopedEnvironment(std::string name, const char* value) : name_(std::move(name)) {
  if (const char* previous = std::getenv(name_.c_str())) previous_ = previous;
  SetVariable(name_, value);
}

ScopedEnvironment::~ScopedEnvironment() { SetVariable(name_, previous_ ? previous_->c_str() : nullptr); }

#ifdef _WIN32
TempDataHome::TempDataHome() {
  path_ = ScratchLocalAppData();
  RemoveTree(path_ / "Ombrix");
  RemoveTree(path_ / "Kestrune");
}

TempDataHome::~TempDataHome() {
  RemoveTree(path_ / "Ombrix");
  RemoveTree(path_ / "Kestrune");
}
#else
TempDataHome::TempDataHome() {
  path_ = MakeFreshTestFolder("data-home");
  if (const char* previous = std::getenv("XDG_DATA_HOME")) previous_ = previous;
  SetVariable("XDG_DATA_HOME", path_.c_str());
}

TempDataHome::~TempDataHome() {
  SetVariable("XDG_DATA_HOME", previous_ ? previous_->c_str() : nullptr);
  RemoveTree(path_);
}
#endif

std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Put(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace ombrix::test
