#include "tools/ombrix/audio_frames.h"

#include <algorithm>
#include <cstring>

#include "tools/ombrix/command_error.h"
#include "tools/ombrix/file_analysis.h"

namespace ombrix::cli {

AudioFileSource::AudioFileSource(const std::string& file) {
  const std::filesystem::path path = PathFromUtf8(file);
  std::string whyNot;
  reader_ = OpenAudioFile(path, whyNot);
  if (!reader_) throw Failure(file + ": " + whyNot);
  totalFrames_ = AudioFileFrameCount(path);
}

RepeatedSamplesSource::RepeatedSamplesSource(const std::vector<float>& interleaved, int channels, double sampleRate,
                                             int passes)
    : samples_(interleaved),
      channels_(channels),
      sampleRate_(sampleRate),
      passes_(passes),
      framesPerPass_(channels > 0 ? interleaved.size() / static_cast<std::size_t>(channels) : 0) {}

std::size_t RepeatedSamplesSource::Read(float* interleaved, std::size_t maxFrames) {
  if (framesPerPass_ == 0 || position_ >= TotalFrames()) return 0;
  const std::uint64_t inPass = position_ % framesPerPass_;
  const auto frames = static_cast<std::size_t>(std::min<std::uint64_t>(maxFrames, framesPerPass_ - inPass));
  const auto channels = static_cast<std::size_t>(channels_);
  std::memcpy(interleaved, samples_.data() + inPass * channels, frames * channels * sizeof(float));
  position_ += frames;
  return frames;
}

}  // namespace ombrix::cli
