#pragma once
// Writes rendered audio to a WAV file: 32-bit float, or 16- or 24-bit PCM
// (clipped at full scale, not dithered). The audio goes to a ".partial" file
// beside the destination, which replaces the destination only on Commit; a
// sink destroyed without Commit leaves the destination as it was.
#include <filesystem>
#include <string>

#include "tools/ombrix/audio_frames.h"

namespace ombrix::cli {

class WavFileSink : public FrameSink {
 public:
  // bits: 0 for 32-bit float, 16 or 24. Throws Failure when the file cannot be created.
  WavFileSink(const std::filesystem::path& destination, double sampleRate, int channels, int bits);
  ~WavFileSink() override;
  WavFileSink(const WavFileSink&) = delete;
  WavFileSink& operator=(const WavFileSink&) = delete;

  bool Write(const float* interleaved, std::size_t frames) override;
  // Finishes the file and moves it into place. Throws Failure.
  void Commit();

 private:
  void Discard();

  std::filesystem::path destination_;
  std::filesystem::path partial_;
  void* file_ = nullptr;  // SNDFILE*
};

// Passes frames on to another sink once the first `skipFrames` have gone by.
class SkippingSink : public FrameSink {
 public:
  SkippingSink(FrameSink& inner, std::uint64_t skipFrames, int channels)
      : inner_(inner), skip_(skipFrames), channels_(static_cast<std::size_t>(channels)) {}
  bool Write(const float* interleaved, std::size_t frames) override;

 private:
  FrameSink& inner_;
  std::uint64_t skip_;
  std::size_t channels_;
};

}  // namespace ombrix::cli
