#include "tools/ombrix/shown_path.h"

#include <system_error>

#include "library/file_helpers.h"

namespace ombrix::cli {

std::string ShownPath(const std::filesystem::path& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error);
  if (error) return PathToUtf8(path);
  const std::filesystem::path here = std::filesystem::current_path(error);
  if (error) return PathToUtf8(absolute);
  const std::filesystem::path relative = absolute.lexically_relative(here);
  if (relative.empty() || *relative.begin() == "..") return PathToUtf8(absolute);
  return PathToUtf8(relative);
}

std::filesystem::path ArgumentPath(const std::string& argument) {
  const std::filesystem::path path = PathFromUtf8(argument);
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute;
}

}  // namespace ombrix::cli
