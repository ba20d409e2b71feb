#include "dsp/audio_file_reader.h"

#include <sndfile.h>

#include <array>
#include <fstream>
#include <string_view>
#include <system_error>
#include <utility>

#include "dsp/sound_file_open.h"

namespace ombrix::dsp {

namespace {

// libsndfile recognises the container from the content, not from the name;
// this keeps a file whose content is not what its name says from being read.
bool ContainerMatches(int format, AudioContainer expected) {
  const int major = format & SF_FORMAT_TYPEMASK;
  switch (expected) {
    case AudioContainer::kWaveOrAiff:
      return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_RF64 || major == SF_FORMAT_W64 ||
             major == SF_FORMAT_AIFF;
    case AudioContainer::kMp3:
      return major == SF_FORMAT_MPEG;
    case AudioContainer::kFlac:
      return major == SF_FORMAT_FLAC;
    case AudioContainer::kOgg:
      return major == SF_FORMAT_OGG;
    case AudioContainer::kOpus:
      return major == SF_FORMAT_OGG && (format & SF_FORMAT_SUBMASK) == SF_FORMAT_OPUS;
  }
  return false;
}

// What the content turned out to be, with its article, for a file whose
// name says otherwise.
std::string FoundKind(int format) {
  switch (format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_WAV:
    case SF_FORMAT_WAVEX:
    case SF_FORMAT_RF64:
    case SF_FORMAT_W64:
      return "a WAV file";
    case SF_FORMAT_AIFF:
      return "an AIFF file";
    case SF_FORMAT_MPEG:
      return "an MP3 file";
    case SF_FORMAT_FLAC:
      return "a FLAC file";
    case SF_FORMAT_OGG:
      switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_VORBIS:
          return "an Ogg Vorbis file";
        case SF_FORMAT_OPUS:
          return "an Opus file";
        default:
          return "an Ogg file";
      }
    default:
      return "an audio file of another kind";
  }
}

// The first bytes every file of the expected kind starts with. A file that
// has them but that libsndfile refuses is damaged rather than of another kind.
bool StartsLike(const std::filesystem::path& path, AudioContainer expected) {
  std::ifstream in(path, std::ios::binary);
  std::array<char, 4> head{};
  if (!in.read(head.data(), head.size())) return false;
  const std::string_view magic(head.data(), head.size());
  switch (expected) {
    case AudioContainer::kWaveOrAiff:
      return magic == "RIFF" || magic == "RIFX" || magic == "RF64" || magic == "FORM" || magic == "riff";
    case AudioContainer::kMp3:
      return magic.substr(0, 3) == "ID3" ||
             (static_cast<unsigned char>(head[0]) == 0xFF && (static_cast<unsigned char>(head[1]) & 0xE0) == 0xE0);
    case AudioContainer::kFlac:
      return magic == "fLaC";
    case AudioContainer::kOgg:
    case AudioContainer::kOpus:
      return magic == "OggS";
  }
  return false;
}

std::uint32_t ReadUnsigned(const char* bytes, int count, bool bigEndian) {
  std::uint32_t value = 0;
  for (int i = 0; i < count; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[bigEndian ? i : count - 1 - i]);
    value = (value << 8) | byte;
  }
  return value;
}

// The frame count a RIFF/RIFX WAV header ("data" size over the block size) or
// an AIFF header (the "COMM" chunk's frame count) states; 0 when there is
// none or it means "unknown". libsndfile itself trusts the file's length.
std::uint64_t WaveOrAiffHeaderFrames(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::array<char, 12> head{};
  if (!in.read(head.data(), head.size())) return 0;
  const std::string_view riff(head.data(), 4);
  const std::string_view form(head.data() + 8, 4);
  const bool wave = (riff == "RIFF" || riff == "RIFX") && form == "WAVE";
  const bool aiff = riff == "FORM" && (form == "AIFF" || form == "AIFC");
  if (!wave && !aiff) return 0;
  const bool bigEndian = riff != "RIFF";
  std::uint32_t blockAlign = 0;
  // A header that wanders on for ever is not followed far.
  for (int chunk = 0; chunk < 64; ++chunk) {
    std::array<char, 8> header{};
    if (!in.read(header.data(), header.size())) return 0;
    const std::string_view id(header.data(), 4);
    const std::uint32_t size = ReadUnsigned(header.data() + 4, 4, bigEndian);
    const std::streamoff next = static_cast<std::streamoff>(in.tellg()) + size + (size & 1);
    if (wave && id == "fmt " && size >= 14) {
      std::array<char, 14> fmt{};
      if (!in.read(fmt.data(), fmt.size())) return 0;
      blockAlign = ReadUnsigned(fmt.data() + 12, 2, bigEndian);
    } else if (wave && id == "data") {
      if (blockAlign == 0 || size == 0 || size == 0xFFFFFFFFu) return 0;
      return size / blockAlign;
    } else if (aiff && id == "COMM" && size >= 6) {
      std::array<char, 6> comm{};
      if (!in.read(comm.data(), comm.size())) return 0;
      return ReadUnsigned(comm.data() + 2, 4, true);
    }
    in.seekg(next);
  }
  return 0;
}

std::uint64_t FramesTheHeaderStates(const std::filesystem::path& path, const SF_INFO& info) {
  switch (info.format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_WAV:
    case SF_FORMAT_WAVEX:
    case SF_FORMAT_AIFF:
      return WaveOrAiffHeaderFrames(path);
    case SF_FORMAT_FLAC:
      // The stream information block's total; libsndfile passes it on as it is.
      return info.frames > 0 && info.frames < SF_COUNT_MAX ? static_cast<std::uint64_t>(info.frames) : 0;
    default:
      return 0;
  }
}

SNDFILE* OpenForReading(const std::filesystem::path& path, SF_INFO& info) {
  return OpenSoundFile(path, SFM_READ, info);
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
  if (extension == ".ogg" || extension == ".oga") return AudioContainer::kOgg;
  if (extension == ".opus") return AudioContainer::kOpus;
  return std::nullopt;
}

const char* ContainerName(AudioContainer container) {
  switch (container) {
    case AudioContainer::kWaveOrAiff:
      return "WAV or AIFF";
    case AudioContainer::kMp3:
      return "MP3";
    case AudioContainer::kFlac:
      return "FLAC";
    case AudioContainer::kOgg:
      return "Ogg Vorbis or Opus";
    case AudioContainer::kOpus:
      return "Opus";
  }
  return "audio";
}

std::unique_ptr<AudioFileReader> AudioFileReader::Open(const std::filesystem::path& path, AudioContainer expected) {
  std::string ignored;
  return Open(path, expected, ignored);
}

std::unique_ptr<AudioFileReader> AudioFileReader::Open(const std::filesystem::path& path, AudioContainer expected,
                                                       std::string& whyNot) {
  const std::string name = ContainerName(expected);
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) {
    whyNot = "no such file";
    return nullptr;
  }
  if (status.type() == std::filesystem::file_type::directory) {
    whyNot = "is a folder";
    return nullptr;
  }
  SF_INFO info{};
  auto handle = std::make_unique<Handle>();
  handle->file = OpenForReading(path, info);
  if (handle->file == nullptr) {
    whyNot = (StartsLike(path, expected) ? "damaged " : "not a readable ") + name + " file";
    return nullptr;
  }
  if (!ContainerMatches(info.format, expected)) {
    whyNot = "is " + FoundKind(info.format) + ", not " + name + " as its name says";
    return nullptr;
  }
  if (info.channels <= 0 || info.samplerate <= 0) {
    whyNot = "damaged " + name + " file";
    return nullptr;
  }
  const std::uint64_t headerFrames = FramesTheHeaderStates(path, info);
  return std::unique_ptr<AudioFileReader>(
      new AudioFileReader(std::move(handle), info.channels, info.samplerate, headerFrames));
}

AudioFileReader::AudioFileReader(std::unique_ptr<Handle> handle, int channels, double sampleRate,
                                 std::uint64_t headerFrames)
    : handle_(std::move(handle)), channels_(channels), sampleRate_(sampleRate), headerFrames_(headerFrames) {}

AudioFileReader::~AudioFileReader() = default;

std::size_t AudioFileReader::Read(float* interleaved, std::size_t maxFrames) {
  if (interleaved == nullptr || maxFrames == 0) return 0;
  const sf_count_t got = sf_readf_float(handle_->file, interleaved, static_cast<sf_count_t>(maxFrames));
  return got > 0 ? static_cast<std::size_t>(got) : 0;
}

}  // namespace ombrix::dsp
