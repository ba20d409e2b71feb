#include "dsp/audio_file_reader.h"

#include <sndfile.h>

#include <array>
#include <utility>

namespace ombrix::dsp {

namespace {

// libsndfile recognises the container from the content, not from the name;
// this keeps a file whose content is not what its name says from being read.
bool ContainerMatches(int format, AudioContainer expected) {
  const int major = format & SF_FORMAT_TYPEMASK;
  switch (expected) {
    case AudioContainer::kWaveOrAiff:
      return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_RF64 ||
             major == SF_FORMAT_W64 || major == SF_FORMAT_AIFF;
    case AudioContainer::kMp3:
      return major == SF_FORMAT_MPEG;
    case AudioContainer::kFlac:
      return major == SF_FORMAT_FLAC;
  }
  return false;
}

SNDFILE* OpenForReading(const std::filesystem::path& path, SF_INFO& info) {
#ifdef _WIN32
  return sf_wchar_open(path.c_str(), SFM_READ, &info);
#else
  return sf_open(path.c_str(), SFM_READ, &info);
#endif
}

}  // namespace

struct AudioFileReader::Handle {
  SNDFILE* file = nullptr;
  ~Handle() {
    if (file != nullptr) sf_close(file);
  }
};

std::string FileNameUtf8(const std::filesystem::path& path) {
  const std::u8string name = path.filename().u8string();
  return std::string(name.begin(), name.end());
}

std::filesystem::path PathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string LowerCaseExtension(std::string_view fileName) {
  if (fileName == "..") return {};
  const std::size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  std::string extension(fileName.substr(dot));
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension;
}

std::optional<AudioContainer> ContainerForExtension(std::string_view extension) {
  static constexpr std::array<std::string_view, 5> kWaveOrAiff = {".wav", ".wave", ".aif", ".aiff", ".aifc"};
  for (std::string_view candidate : kWaveOrAiff) {
    if (extension == candidate) return AudioContainer::kWaveOrAiff;
  }
  if (extension == ".mp3") return AudioContainer::kMp3;
  if (extension == ".flac") return AudioContainer::kFlac;
  return std::nullopt;
}

std::unique_ptr<AudioFileReader> AudioFileReader::Open(const std::filesystem::path& path, AudioContainer expected) {
  SF_INFO info{};
  auto handle = std::make_unique<Handle>();
  handle->file = OpenForReading(path, info);
  if (handle->file == nullptr) return nullptr;
  if (!ContainerMatches(info.format, expected) || info.channels <= 0 || info.samplerate <= 0) return nullptr;
  return std::unique_ptr<AudioFileReader>(new AudioFileReader(std::move(handle), info.channels, info.samplerate));
}

AudioFileReader::AudioFileReader(std::unique_ptr<Handle> handle, int channels, double sampleRate)
    : handle_(std::move(handle)), channels_(channels), sampleRate_(sampleRate) {}

AudioFileReader::~AudioFileReader() = default;

std::size_t AudioFileReader::Read(float* interleaved, std::size_t maxFrames) {
  if (interleaved == nullptr || maxFrames == 0) return 0;
  const sf_count_t got = sf_readf_float(handle_->file, interleaved, static_cast<sf_count_t>(maxFrames));
  return got > 0 ? static_cast<std::size_t>(got) : 0;
}

}  // namespace ombrix::dsp
