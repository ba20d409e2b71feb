#pragma once
// The files "ombrix analyze" measures: files named on the command line as
// they are, folders replaced by the audio files in them, sorted by name
// (with `recursive` also those in their sub-folders, by path). In a folder,
// files of kinds that are not audio (pictures, text, cue sheets) are left
// out; audio files that cannot be read stay in, so their reason is reported.
#include <string>
#include <vector>

namespace ombrix::cli {

struct FileList {
  std::vector<std::string> files;     // UTF-8 paths
  std::vector<std::string> problems;  // "<folder>: <reason>", for folders that could not be listed
};

FileList ListAudioFiles(const std::vector<std::string>& operands, bool recursive);

}  // namespace ombrix::cli
