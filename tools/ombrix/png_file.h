#pragma once
// Writes a picture the tool drew as a PNG file, atomically.
#include <string>

#include <juce_graphics/juce_graphics.h>

namespace ombrix::cli {

// Throws Failure with the reason when the picture cannot be encoded or written.
void WritePngFile(const juce::Image& picture, const std::string& path);

}  // namespace ombrix::cli
