#pragma once
// Paths as the tool prints them: relative to the working folder when they lie
// inside it (build/…, out/after.wav), otherwise absolute.
#include <filesystem>
#include <string>

namespace ombrix::cli {

std::string ShownPath(const std::filesystem::path& path);

}  // namespace ombrix::cli
