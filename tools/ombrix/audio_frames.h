#pragma once
// Where rendered audio comes from and goes to: interleaved float frames.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dsp/audio_file_reader.h"

namespace ombrix::cli {

class FrameSource {
 public:
  virtual ~FrameSource() = default;
  virtual int Channels() const = 0;
  virtual double SampleRate() const = 0;
  // For progress; 0 when not known.
  virtual std::uint64_t TotalFrames() const = 0;
  // Up to maxFrames interleaved frames; 0 at the end.
  virtual std::size_t Read(float* interleaved, std::size_t maxFrames) = 0;
};

class FrameSink {
 public:
  virtual ~FrameSink() = default;
  // False when the frames could not be stored.
  virtual bool Write(const float* interleaved, std::size_t frames) = 0;
};

// A WAV, AIFF, FLAC, MP3, Ogg Vorbis or Opus file. Throws Failure with the
// reason when it cannot be opened.
class AudioFileSource : public FrameSource {
 public:
  explicit AudioFileSource(const std::string& file);
  int Channels() const override { return reader_->Channels(); }
  double SampleRate() const override { return reader_->SampleRate(); }
  std::uint64_t TotalFrames() const override { return totalFrames_; }
  std::size_t Read(float* interleaved, std::size_t maxFrames) override { return reader_->Read(interleaved, maxFrames); }

 private:
  std::unique_ptr<dsp::AudioFileReader> reader_;
  std::uint64_t totalFrames_ = 0;
};

// Interleaved samples held in memory, played `passes` times in a row.
class RepeatedSamplesSource : public FrameSource {
 public:
  RepeatedSamplesSource(const std::vector<float>& interleaved, int channels, double sampleRate, int passes);
  int Channels() const override { return channels_; }
  double SampleRate() const override { return sampleRate_; }
  std::uint64_t TotalFrames() const override { return framesPerPass_ * static_cast<std::uint64_t>(passes_); }
  std::size_t Read(float* interleaved, std::size_t maxFrames) override;

 private:
  const std::vector<float>& samples_;
  int channels_;
  double sampleRate_;
  int passes_;
  std::uint64_t framesPerPass_;
  std::uint64_t position_ = 0;  // frames handed out, over all passes
};

}  // namespace ombrix::cli
