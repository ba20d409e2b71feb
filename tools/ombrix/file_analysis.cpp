#include "tools/ombrix/file_analysis.h"

#ifdef _WIN32
#define ENABLE_SNDFILE_WINDOWS_PROTOTYPES 1
#endif
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>
#include <system_error>
#include <vector>

#include "dsp/audio_file_reader.h"
#include "dsp/loudness_meter.h"
#include "dsp/reference_file.h"
#include "dsp/sound_file_open.h"
#include "dsp/true_peak_meter.h"
#include "library/locale_free_numbers.h"
#include "tools/ombrix/tonal_balance.h"

namespace ombrix::cli {

namespace {

constexpr std::size_t kChunkFrames = dsp::kReferenceChunkFrames;

// The meters see the first two channels, as the plug-in on a stereo track
// would, and note the loudness at the end of every 100 ms block.
class Meters {
 public:
  explicit Meters(double sampleRate) {
    loudness_.Configure(sampleRate);
    truePeak_.Configure(sampleRate);
  }

  void Feed(const float* interleaved, std::size_t channels, std::size_t frames, FileAnalysis& result) {
    const int measured = static_cast<int>(std::min<std::size_t>(channels, 2));
    for (std::size_t n = 0; n < frames; ++n) {
      left_[n] = interleaved[n * channels];
      right_[n] = channels > 1 ? interleaved[n * channels + 1] : 0.0f;
    }
    // In pieces that end where a block ends, so every block is noted.
    for (std::size_t done = 0; done < frames;) {
      const auto piece = std::min(frames - done, static_cast<std::size_t>(loudness_.BlockLength() - framesInBlock_));
      const float* planes[2] = {left_.data() + done, right_.data() + done};
      if (loudness_.Process(planes, measured, static_cast<int>(piece)) > 0) {
        maxShortTerm_ = std::max(maxShortTerm_, loudness_.ShortTermLoudness());
        result.momentaryTrace.push_back(static_cast<float>(loudness_.MomentaryLoudness()));
        result.shortTermTrace.push_back(static_cast<float>(loudness_.ShortTermLoudness()));
        framesInBlock_ = 0;
      } else {
        framesInBlock_ += static_cast<int>(piece);
      }
      done += piece;
    }
    const float* planes[2] = {left_.data(), right_.data()};
    truePeak_.Process(planes, measured, static_cast<int>(frames));
    measured_ = measured;
  }

  // The interpolator lags a few samples behind; silence after the end lets
  // it reach the last ones.
  void Flush() {
    if (measured_ == 0) return;
    std::fill(left_.begin(), left_.end(), 0.0f);
    std::fill(right_.begin(), right_.end(), 0.0f);
    const float* planes[2] = {left_.data(), right_.data()};
    truePeak_.Process(planes, measured_, 2 * dsp::TruePeakMeter::kTapsPerPhase);
  }

  void Report(FileAnalysis& result) const {
    result.integratedLufs = loudness_.IntegratedLoudness();
    result.maxShortTermLufs = maxShortTerm_;
    result.maxTruePeakDbtp = truePeak_.SinceResetPeakDb();
    result.maxMomentaryLufs = loudness_.MaxMomentaryLoudness();
    result.loudnessRangeLu = loudness_.LoudnessRange();
    result.gatingHistogram = loudness_.GatingHistogram();
    result.shortTermHistogram = loudness_.ShortTermHistogram();
  }

 private:
  dsp::LoudnessMeter loudness_;
  dsp::TruePeakMeter truePeak_;
  std::array<float, kChunkFrames> left_{};
  std::array<float, kChunkFrames> right_{};
  double maxShortTerm_ = dsp::kNothingMeasured;
  int framesInBlock_ = 0;
  int measured_ = 0;
};

void Analyse(const std::filesystem::path& path, const AnalysisRequest& request, FileAnalysis& result,
             std::atomic<std::uint64_t>* framesDone) {
  const std::unique_ptr<dsp::AudioFileReader> reader = OpenAudioFile(path, result.error);
  if (!reader) return;

  result.sampleRate = reader->SampleRate();
  result.channels = reader->Channels();
  const auto channels = static_cast<std::size_t>(result.channels);
  const auto skipFrames = static_cast<std::uint64_t>(std::llround(request.fromSeconds * result.sampleRate));
  const auto curveLimit = static_cast<std::uint64_t>(dsp::kReferenceFileMaxSeconds * result.sampleRate);

  auto analyser = std::make_unique<dsp::ReferenceFileAnalyser>(result.sampleRate);
  auto meters = std::make_unique<Meters>(result.sampleRate);
  std::vector<float> interleaved(channels * kChunkFrames);
  std::uint64_t framesRead = 0;
  for (;;) {
    const std::size_t got = reader->Read(interleaved.data(), kChunkFrames);
    if (got == 0) break;
    if (framesDone != nullptr) framesDone->fetch_add(got, std::memory_order_relaxed);
    const std::uint64_t chunkStart = framesRead;
    framesRead += got;
    if (framesRead <= skipFrames) continue;
    const std::size_t offset = chunkStart < skipFrames ? static_cast<std::size_t>(skipFrames - chunkStart) : 0;
    const float* first = interleaved.data() + offset * channels;
    const std::size_t count = got - offset;
    meters->Feed(first, channels, count, result);
    // The long-term curve, like a learned reference, covers at most its first 15 minutes.
    if (analyser->FramesFed() < curveLimit) {
      const auto room = static_cast<std::size_t>(std::min<std::uint64_t>(count, curveLimit - analyser->FramesFed()));
      analyser->FeedInterleaved(first, channels, room);
    }
  }
  meters->Flush();

  result.durationSeconds = static_cast<double>(framesRead) / result.sampleRate;
  if (framesRead < reader->HeaderFrames())
    result.headerDurationSeconds = static_cast<double>(reader->HeaderFrames()) / result.sampleRate;
  if (framesRead == 0) {
    result.error = "holds no audio";
    return;
  }
  if (framesRead <= skipFrames) {
    result.error = "--from " + FormatFixed(request.fromSeconds, 1) + " s lies beyond its end (" +
                   FormatFixed(result.durationSeconds, 1) + " s)";
    return;
  }
  meters->Report(result);

  dsp::LearnedCurve curve;
  std::string learnError;
  if (analyser->Finish(curve, learnError)) {
    result.longTermLevels = curve.levels;
    result.loudSeconds = curve.loudSeconds;
    const dsp::DeviationFit fit =
        BalanceAgainstTarget(curve.levels, result.sampleRate, request.target.levels, request.target.crossovers);
    if (fit.valid) {
      result.balance = fit;
    } else {
      result.balanceError = "the deviation from the target could not be fitted";
    }
  } else {
    result.balanceError = learnError;
  }
  result.ok = true;
}

}  // namespace

std::unique_ptr<dsp::AudioFileReader> OpenAudioFile(const std::filesystem::path& path, std::string& whyNot) {
  const std::string extension = dsp::LowerCaseExtension(dsp::FileNameUtf8(path));
  const std::optional<dsp::AudioContainer> container = dsp::ContainerForExtension(extension);
  if (!container) {
    std::error_code ignored;
    whyNot = std::filesystem::is_directory(path, ignored)
                 ? "is a folder"
                 : "unsupported file type " + extension + " (" + dsp::kReadableFileTypes + ")";
    return nullptr;
  }
  return dsp::AudioFileReader::Open(path, *container, whyNot);
}

FileAnalysis AnalyseAudioFile(const std::string& file, const AnalysisRequest& request,
                              std::atomic<std::uint64_t>* framesDone) {
  FileAnalysis result;
  result.file = file;
  result.fromSeconds = request.fromSeconds;
  result.target = request.target;
  try {
    Analyse(PathFromUtf8(file), request, result, framesDone);
  } catch (const std::exception& e) {
    result.ok = false;
    result.error = e.what();
  }
  if (!result.ok) result.error = file + ": " + result.error;
  return result;
}

std::uint64_t AudioFileFrameCount(const std::filesystem::path& path) {
  SF_INFO info{};
  SNDFILE* file = dsp::OpenSoundFile(path, SFM_READ, info);
  if (file == nullptr) return 0;
  sf_close(file);
  return info.frames > 0 ? static_cast<std::uint64_t>(info.frames) : 0;
}

}  // namespace ombrix::cli
