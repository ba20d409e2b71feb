#pragma once
// Writes a picture the tool drew as a PNG file, atomically.
#include <juce_graphics/juce_graphics.h>

#include <filesystem>

namespace ombrix::cli {

// Throws Failure with the reason when the picture cannot be encoded or written.
void WritePngFile(const juce::Image& picture, const std::filesystem::path& path);

}  // namespace ombrix::cli
