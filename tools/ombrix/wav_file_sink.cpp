#include "tools/ombrix/wav_file_sink.h"

#ifdef _WIN32
#define ENABLE_SNDFILE_WINDOWS_PROTOTYPES 1
#endif
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <system_error>

#include "dsp/sound_file_open.h"
#include "library/file_helpers.h"
#include "tools/ombrix/command_error.h"

namespace ombrix::cli {

namespace {

int SubFormat(int bits) {
  if (bits == 16) return SF_FORMAT_PCM_16;
  if (bits == 24) return SF_FORMAT_PCM_24;
  return SF_FORMAT_FLOAT;
}

}  // namespace

WavFileSink::WavFileSink(const std::filesystem::path& destination, double sampleRate, int channels, int bits)
    : destination_(destination) {
  partial_ = destination_;
  partial_ += ".partial";
  SF_INFO info{};
  info.samplerate = static_cast<int>(std::lround(sampleRate));
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SubFormat(bits);
  SNDFILE* file = dsp::OpenSoundFile(partial_, SFM_WRITE, info);
  if (file == nullptr) throw Failure("could not write " + PathToUtf8(destination_));
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  file_ = file;
}

WavFileSink::~WavFileSink() { Discard(); }

bool WavFileSink::Write(const float* interleaved, std::size_t frames) {
  if (file_ == nullptr) return false;
  const auto count = static_cast<sf_count_t>(frames);
  return sf_writef_float(static_cast<SNDFILE*>(file_), interleaved, count) == count;
}

void WavFileSink::Commit() {
  const bool closed = file_ != nullptr && sf_close(static_cast<SNDFILE*>(file_)) == 0;
  file_ = nullptr;
  std::error_code error;
  if (closed) std::filesystem::rename(partial_, destination_, error);
  if (!closed || error) {
    Discard();
    throw Failure("could not write " + PathToUtf8(destination_));
  }
}

void WavFileSink::Discard() {
  if (file_ != nullptr) sf_close(static_cast<SNDFILE*>(file_));
  file_ = nullptr;
  std::error_code ignored;
  std::filesystem::remove(partial_, ignored);
}

bool SkippingSink::Write(const float* interleaved, std::size_t frames) {
  const auto skipped = static_cast<std::size_t>(std::min<std::uint64_t>(skip_, frames));
  skip_ -= skipped;
  if (skipped == frames) return true;
  return inner_.Write(interleaved + skipped * channels_, frames - skipped);
}

}  // namespace ombrix::cli
