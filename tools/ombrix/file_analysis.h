#pragma once
// What "ombrix analyze" measures in one audio file: duration, integrated
// loudness, loudness range, the loudest momentary and short-term loudness,
// the true peak and the loudness over time (with the plug-in's own meters),
// and the tonal balance of the file's long-term curve, learned the way a
// reference file is learned, against a target.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/frequency_grid.h"
#include "dsp/audio_file_reader.h"
#include "dsp/correction_engine.h"
#include "dsp/loudness_histogram.h"
#include "dsp/loudness_reading.h"

namespace ombrix::cli {

struct BalanceTarget {
  std::string name = "Balanced";
  dsp::GridCurve levels{};
  dsp::GridCurve spread{};
  dsp::Crossovers crossovers{};  // sanitised
};

struct AnalysisRequest {
  BalanceTarget target;
  double fromSeconds = 0.0;  // analyse from this point of the file on
};

struct FileAnalysis {
  std::string file;  // as named on the command line
  bool ok = false;
  std::string error;  // "<file>: <reason>" when not ok

  double sampleRate = 0.0;
  int channels = 0;
  double durationSeconds = 0.0;  // the whole file
  // The length the file's header states when the file is shorter (cut
  // short, measured as it is); 0 otherwise.
  double headerDurationSeconds = 0.0;
  double fromSeconds = 0.0;

  // LUFS and dBTP; dsp::kNothingMeasured (-150) when nothing was measured.
  double integratedLufs = dsp::kNothingMeasured;
  double maxShortTermLufs = dsp::kNothingMeasured;
  double maxTruePeakDbtp = dsp::kNothingMeasured;
  double maxMomentaryLufs = dsp::kNothingMeasured;
  double loudnessRangeLu = dsp::kNothingMeasured;  // EBU Tech 3342

  // Momentary and short-term loudness (LUFS, -150 for silence) at the end of
  // every 100 ms block from the start of the measured stretch.
  std::vector<float> momentaryTrace;
  std::vector<float> shortTermTrace;
  // The meter's histograms, to measure several files as one programme.
  dsp::LoudnessHistogram gatingHistogram;
  dsp::LoudnessHistogram shortTermHistogram;

  BalanceTarget target;
  std::optional<dsp::GridCurve> longTermLevels;  // the learned curve (dB) the balance was fitted to
  double loudSeconds = 0.0;                      // of the material behind that curve
  std::optional<dsp::DeviationFit> balance;
  std::string balanceError;  // why there is no balance (too little loud material, say)
};

// Opens the file as the kind its name says; null with the reason in the
// user's terms ("is a folder", "no such file", "damaged Ogg Vorbis or Opus
// file", "unsupported file type .m4a (...)") when it cannot be read.
std::unique_ptr<dsp::AudioFileReader> OpenAudioFile(const std::filesystem::path& path, std::string& whyNot);

// Never throws for bad files: a file that cannot be analysed comes back with
// ok false and a reason. framesDone, when given, counts decoded frames.
FileAnalysis AnalyseAudioFile(const std::string& file, const AnalysisRequest& request,
                              std::atomic<std::uint64_t>* framesDone = nullptr);

// The file's length in frames as its header states it, for progress; 0 when
// it cannot be told.
std::uint64_t AudioFileFrameCount(const std::filesystem::path& path);

}  // namespace ombrix::cli
