#include "tools/ombrix/audio_file_list.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "dsp/audio_file_reader.h"

namespace ombrix::cli {
namespace {

// Audio that the reader does not take: listed, so that it is reported.
constexpr std::array<std::string_view, 9> kOtherAudioExtensions{".m4a", ".aac", ".alac", ".wma", ".ape",
                                                                ".wv",  ".mp4", ".mka",  ".dsf"};

bool IsAudioFileName(const std::string& name) {
  const std::string extension = dsp::LowerCaseExtension(name);
  return dsp::ContainerForExtension(extension).has_value() ||
         std::find(kOtherAudioExtensions.begin(), kOtherAudioExtensions.end(), extension) !=
             kOtherAudioExtensions.end();
}

void ListFolder(const std::filesystem::path& folder, const std::string& shown, bool recursive, FileList& list) {
  std::vector<std::filesystem::path> found;
  std::error_code error;
  const auto options = std::filesystem::directory_options::skip_permission_denied;
  const auto take = [&found](const std::filesystem::directory_entry& entry) {
    std::error_code ignored;
    if (entry.is_regular_file(ignored) && IsAudioFileName(dsp::FileNameUtf8(entry.path())))
      found.push_back(entry.path());
  };
  if (recursive) {
    std::filesystem::recursive_directory_iterator it(folder, options, error), end;
    for (; !error && it != end; it.increment(error)) take(*it);
  } else {
    std::filesystem::directory_iterator it(folder, options, error), end;
    for (; !error && it != end; it.increment(error)) take(*it);
  }
  if (error) {
    list.problems.push_back(shown + ": could not list the folder: " + error.message());
    return;
  }
  if (found.empty()) {
    list.problems.push_back(shown + ": no audio files in it" + (recursive ? "" : " (-r looks into sub-folders)"));
    return;
  }
  std::sort(found.begin(), found.end());
  for (const std::filesystem::path& path : found) list.files.push_back(PathToUtf8(path));
}

}  // namespace

FileList ListAudioFiles(const std::vector<std::string>& operands, bool recursive) {
  FileList list;
  for (const std::string& operand : operands) {
    const std::filesystem::path path = PathFromUtf8(operand);
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored))
      ListFolder(path, operand, recursive, list);
    else
      list.files.push_back(operand);
  }
  return list;
}

}  // namespace ombrix::cli
