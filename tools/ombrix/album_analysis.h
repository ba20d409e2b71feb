#pragma once
// Several analysed files taken as one programme, as an album is played:
// integrated loudness gated over the 400 ms blocks of all files together,
// the loudness range over all their short-term values, the loudest momentary
// and short-term values and true peak of any file, and the tonal balance of
// the files' long-term curves averaged by their loud seconds.
#include "tools/ombrix/file_analysis.h"

namespace ombrix::cli {

class AlbumAnalysis {
 public:
  explicit AlbumAnalysis(const BalanceTarget& target);

  // Files that failed are left out.
  void Add(const FileAnalysis& file);

  int Files() const { return files_; }
  // The album's figures in the shape of one file's: `file` is "Album",
  // sampleRate the lowest of the files' rates, channels the most, no traces.
  FileAnalysis Summary() const;

 private:
  int files_ = 0;
  FileAnalysis summary_;
  dsp::GridCurve weightedPowers_{};  // long-term powers times loud seconds
};

}  // namespace ombrix::cli
