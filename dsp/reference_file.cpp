#include "dsp/reference_file.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <utility>
#include <vector>

#include "dsp/audio_file_reader.h"

namespace ombrix::dsp {

namespace {

// maxSeconds * sampleRate frames, kept within what a frame count can hold.
std::uint64_t FrameLimit(double maxSeconds, double sampleRate) {
  const double frames = maxSeconds * sampleRate;
  if (!(frames > 0.0)) return 0;
  if (frames >= 9.0e18) return UINT64_MAX;
  return static_cast<std::uint64_t>(frames);
}

}  // namespace

ReferenceFileAnalyser::ReferenceFileAnalyser(double sampleRate) {
  analysis_.Configure(sampleRate);
  accumulator_.Clear();
  analysis_.SetFrameObserver(accumulator_.Observer());
}

void ReferenceFileAnalyser::FeedInterleaved(const float* interleaved, std::size_t channels, std::size_t frames) {
  if (interleaved == nullptr || channels == 0) return;
  frames = std::min(frames, kReferenceChunkFrames);
  if (channels == 1) {
    analysis_.Feed(interleaved, interleaved, static_cast<int>(frames));
  } else {
    for (std::size_t n = 0; n < frames; ++n) {
      left_[n] = interleaved[n * channels];
      right_[n] = interleaved[n * channels + 1];
    }
    analysis_.Feed(left_.data(), right_.data(), static_cast<int>(frames));
  }
  framesFed_ += frames;
}

bool ReferenceFileAnalyser::Finish(LearnedCurve& curve, std::string& error) const {
  return accumulator_.Finish(kReferenceFileMinimumSeconds, curve, error);
}

bool AnalyseReferenceFile(const std::filesystem::path& path, LearnedCurve& curve, std::string& error,
                          double maxSeconds, const std::atomic<bool>& cancel) {
  const std::string fileName = FileNameUtf8(path);
  const std::string extension = LowerCaseExtension(fileName);
  const std::optional<AudioContainer> container = ContainerForExtension(extension);
  if (!container) {
    error = "unsupported file type " + extension + " (" + kReadableFileTypes + ")";
    return false;
  }

  std::unique_ptr<ReferenceFileAnalyser> analyser;
  if (std::unique_ptr<AudioFileReader> reader = AudioFileReader::Open(path, *container)) {
    const auto channels = static_cast<std::size_t>(reader->Channels());
    analyser = std::make_unique<ReferenceFileAnalyser>(reader->SampleRate());
    const std::uint64_t limit = FrameLimit(maxSeconds, reader->SampleRate());
    std::vector<float> interleaved(channels * kReferenceChunkFrames);
    while (analyser->FramesFed() < limit && !cancel.load(std::memory_order_acquire)) {
      // Never past the limit, so the cap is exact.
      const auto wanted =
          static_cast<std::size_t>(std::min<std::uint64_t>(kReferenceChunkFrames, limit - analyser->FramesFed()));
      const std::size_t got = reader->Read(interleaved.data(), wanted);
      if (got == 0) break;
      analyser->FeedInterleaved(interleaved.data(), channels, got);
    }
  }

  if (cancel.load(std::memory_order_acquire)) {
    error = "cancelled";
    return false;
  }
  if (analyser && analyser->FramesFed() > 0) {
    std::string learnError;
    if (!analyser->Finish(curve, learnError)) {
      error = fileName + ": " + learnError;
      return false;
    }
    return true;
  }
  error = "could not read " + fileName;
  return false;
}

ReferenceFileWorker::ReferenceFileWorker() : ReferenceFileWorker(AnalyseReferenceFile) {}

ReferenceFileWorker::ReferenceFileWorker(AnalyseFunction analyse) : analyse_(std::move(analyse)) {}

ReferenceFileWorker::~ReferenceFileWorker() {
  Cancel();
  Join();
}

bool ReferenceFileWorker::Start(const std::string& utf8Path) {
  if (Analysing()) return false;
  // A previous thread has published its result and is ending, if not gone.
  Join();
  cancel_.store(false, std::memory_order_release);
  analysing_.store(true, std::memory_order_release);
  try {
    thread_ = std::thread([this, utf8Path] { Run(utf8Path); });
  } catch (const std::exception& e) {
    ReferenceFileResult failed;
    failed.name = FileNameUtf8(PathFromUtf8(utf8Path));
    failed.error = e.what();
    Publish(std::move(failed));
    analysing_.store(false, std::memory_order_release);
  }
  return true;
}

void ReferenceFileWorker::Run(const std::string& utf8Path) {
  ReferenceFileResult result;
  try {
    const std::filesystem::path path = PathFromUtf8(utf8Path);
    result.ok = analyse_(path, result.curve, result.error, kReferenceFileMaxSeconds, cancel_);
    result.name = FileNameUtf8(path);
  } catch (const std::exception& e) {
    result.ok = false;
    result.error = e.what();
    result.name = utf8Path;
  } catch (...) {
    result.ok = false;
    result.error = "unexpected failure";
    result.name = utf8Path;
  }
  if (result.ok) result.error.clear();
  Publish(std::move(result));
  analysing_.store(false, std::memory_order_release);
}

void ReferenceFileWorker::Publish(ReferenceFileResult result) {
  result.ready = true;
  std::lock_guard<std::mutex> lock(resultMutex_);
  result_ = std::move(result);
  resultWaiting_.store(true);
}

std::optional<ReferenceFileResult> ReferenceFileWorker::TakeResult() {
  // Asked every idle tick: no lock while nothing waits.
  if (!resultWaiting_.load()) return std::nullopt;
  std::lock_guard<std::mutex> lock(resultMutex_);
  if (!result_.ready) return std::nullopt;
  ReferenceFileResult taken = std::move(result_);
  result_ = ReferenceFileResult{};
  resultWaiting_.store(false);
  return taken;
}

void ReferenceFileWorker::Join() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace ombrix::dsp
