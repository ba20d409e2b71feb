#include "tools/ombrix/png_file.h"

#include <string_view>

#include "library/file_helpers.h"
#include "tools/ombrix/command_error.h"

namespace ombrix::cli {

void WritePngFile(const juce::Image& picture, const std::filesystem::path& path) {
  juce::MemoryOutputStream encoded;
  if (!juce::PNGImageFormat().writeImageToStream(picture, encoded)) throw Failure("the picture could not be encoded");
  std::string error;
  const std::string_view data(static_cast<const char*>(encoded.getData()), encoded.getDataSize());
  if (!WriteDocumentAtomically(path, data, error)) throw Failure(error);
}

}  // namespace ombrix::cli
