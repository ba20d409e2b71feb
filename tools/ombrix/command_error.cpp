#include "tools/ombrix/command_error.h"

#include <cstdio>
#include <system_error>

namespace ombrix::cli {

void RefuseFolder(const std::filesystem::path& path, const std::string& shown) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) throw Failure(shown + ": is a folder");
}

void PrintReason(std::string_view command, std::string_view reason) {
  std::fprintf(stderr, "ombrix %.*s: %.*s\n", static_cast<int>(command.size()), command.data(),
               static_cast<int>(reason.size()), reason.data());
}

}  // namespace ombrix::cli
