// Forced into the translation unit of JUCE's graphics module in the Windows
// build. With the system's libjpeg (Debian's JUCE uses no bundled copy),
// JUCE's JPEG loader expects jpeglib's "boolean" inside its own namespace,
// but Windows' rpcndr.h has already declared it (unsigned char, as the
// library's Windows build uses too), so jpeglib does not declare it again.
#pragma once
#include <rpc.h>
#include <rpcndr.h>
#include <windows.h>

namespace juce::jpeglibNamespace {
using ::boolean;
}  // namespace juce::jpeglibNamespace
