#include "library/host_application.h"

#include <algorithm>
#include <cctype>

namespace ombrix {

bool HostIsArdourBased(const std::string& hostProgramPath) {
  std::string path = hostProgramPath;
  std::transform(path.begin(), path.end(), path.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return path.find("ardour") != std::string::npos || path.find("mixbus") != std::string::npos;
}

}  // namespace ombrix
