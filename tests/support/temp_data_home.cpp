#include "temp_data_home.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>
#include <utility>
#include <vector>

namespace ombrix::test {

std::filesystem::path MakeFreshTestFolder(const std::string& prefix) {
  const char* base = std::getenv("OMBRIX_TEST_TMP");
  std::filesystem::path root = (base != nullptr && *base != '\0') ? std::filesystem::path(base) : "/tmp";
  root = std::filesystem::absolute(root);
  std::filesystem::create_directories(root);
  std::string pattern = (root / (prefix + "-XXXXXX")).string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
  }
  return std::filesystem::path(buffer.data());
}

ScopedEnvironment::ScopedEnvironment(std::string name, const char* value) : name_(std::move(name)) {
  if (const char* previous = std::getenv(name_.c_str())) previous_ = previous;
  if (value != nullptr) {
    setenv(name_.c_str(), value, 1);
  } else {
    unsetenv(name_.c_str());
  }
}

ScopedEnvironment::~ScopedEnvironment() {
  if (previous_) {
    setenv(name_.c_str(), previous_->c_str(), 1);
  } else {
    unsetenv(name_.c_str());
  }
}

TempDataHome::TempDataHome() {
  path_ = MakeFreshTestFolder("data-home");
  if (const char* previous = std::getenv("XDG_DATA_HOME")) previous_ = previous;
  setenv("XDG_DATA_HOME", path_.c_str(), 1);
}

TempDataHome::~TempDataHome() {
  if (previous_) {
    setenv("XDG_DATA_HOME", previous_->c_str(), 1);
  } else {
    unsetenv("XDG_DATA_HOME");
  }
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
  // Tests may have made folders read-only; give write permission back first.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
    }
  }
  std::filesystem::remove_all(path_, ignored);
}

std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Put(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace ombrix::test
