#pragma once
// Paths as the tool prints them: relative to the working folder when they lie
// inside it (build/…, out/after.wav), otherwise absolute; and paths as the
// user typed them.
#include <filesystem>
#include <string>

namespace ombrix::cli {

std::string ShownPath(const std::filesystem::path& path);

// A path given on the command line (UTF-8), resolved against the working
// folder: the libraries below read and write absolute paths only.
std::filesystem::path ArgumentPath(const std::string& argument);

}  // namespace ombrix::cli
