#include "tools/ombrix/command_error.h"

#include <cstdio>

namespace ombrix::cli {

void PrintReason(std::string_view command, std::string_view reason) {
  std::fprintf(stderr, "ombrix %.*s: %.*s\n", static_cast<int>(command.size()), command.data(),
               static_cast<int>(reason.size()), reason.data());
}

}  // namespace ombrix::cli
