#pragma once
// Learning a target from an audio file: the file is decoded, run through its
// own spectrum analyser at the file's sample rate and finished like learning
// from the input, with a lower minimum of loud material. ReferenceFileWorker
// runs one such analysis at a time on a background thread and holds its
// result until the owner picks it up.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "dsp/learn_accumulator.h"
#include "dsp/band_analyser.h"

namespace ombrix::dsp {

// Longer files are analysed over their first 15 minutes.
inline constexpr double kReferenceFileMaxSeconds = 900.0;
inline constexpr double kReferenceFileMinimumSeconds = 2.0;
// Frames decoded and fed per step; cancelling takes effect between steps.
inline constexpr std::size_t kReferenceChunkFrames = 4096;

// One analysis: created and destroyed inside AnalyseReferenceFile.
class ReferenceFileAnalyser {
 public:
  explicit ReferenceFileAnalyser(double sampleRate);
  ReferenceFileAnalyser(const ReferenceFileAnalyser&) = delete;
  ReferenceFileAnalyser& operator=(const ReferenceFileAnalyser&) = delete;

  // Up to kReferenceChunkFrames interleaved frames of `channels` channels.
  // Left is channel 0; right is channel 1, or channel 0 again for a mono
  // file; further channels are ignored.
  void FeedInterleaved(const float* interleaved, std::size_t channels, std::size_t frames);

  std::uint64_t FramesFed() const { return framesFed_; }
  bool Finish(LearnedCurve& curve, std::string& error) const;

 private:
  SpectrumAnalysis analysis_;
  LearnAccumulator accumulator_;
  alignas(32) std::array<float, kReferenceChunkFrames> left_{};
  alignas(32) std::array<float, kReferenceChunkFrames> right_{};
  std::uint64_t framesFed_ = 0;
};

// Decodes and analyses at most maxSeconds of the file. On failure returns
// false with one of: "unsupported file type " + extension + " (WAV, AIFF,
// MP3, FLAC, Ogg or Opus)"; "could not read " + file name; file name + ": " + the
// learning failure; "cancelled" when `cancel` was set (checked between
// chunks). The file name is the last path component in UTF-8.
bool AnalyseReferenceFile(const std::filesystem::path& path, LearnedCurve& curve, std::string& error,
                          double maxSeconds, const std::atomic<bool>& cancel);

// What the analysis thread hands to the owner.
struct ReferenceFileResult {
  bool ready = false;  // a result is waiting
  bool ok = false;
  LearnedCurve curve;
  std::string name;   // file name with extension; the whole path when the analysis threw
  std::string error;  // empty on success
};

// Runs at most one reference-file analysis at a time. All members are called
// from the owner's thread (the editor/idle thread); only the analysis runs on
// the worker thread. The destructor cancels a running analysis and joins it.
class ReferenceFileWorker {
 public:
  using AnalyseFunction = std::function<bool(const std::filesystem::path& path, LearnedCurve& curve,
                                             std::string& error, double maxSeconds, const std::atomic<bool>& cancel)>;

  ReferenceFileWorker();
  // Runs `analyse` in place of AnalyseReferenceFile (for tests).
  explicit ReferenceFileWorker(AnalyseFunction analyse);
  ~ReferenceFileWorker();
  ReferenceFileWorker(const ReferenceFileWorker&) = delete;
  ReferenceFileWorker& operator=(const ReferenceFileWorker&) = delete;

  // Starts analysing the file (UTF-8 path) unless an analysis is running;
  // returns whether the request was taken, in which case exactly one result
  // follows (a failed one at once if no thread could be created). The owner
  // must also refuse to start while learning from the input is on.
  bool Start(const std::string& utf8Path);
  bool Analysing() const { return analysing_.load(std::memory_order_acquire); }
  // The waiting result, handed over once.
  std::optional<ReferenceFileResult> TakeResult();
  // Asks a running analysis to stop; it then reports "cancelled".
  void Cancel() { cancel_.store(true, std::memory_order_release); }
  // Waits for the analysis thread, if there is one, to end.
  void Join();

 private:
  void Run(const std::string& utf8Path);
  void Publish(ReferenceFileResult result);

  AnalyseFunction analyse_;
  std::mutex resultMutex_;
  ReferenceFileResult result_;  // under resultMutex_
  std::atomic<bool> resultWaiting_{false};  // result_.ready, readable without the lock
  std::atomic<bool> analysing_{false};
  std::atomic<bool> cancel_{false};
  std::thread thread_;
};

}  // namespace ombrix::dsp
