#pragma once
// Decoding audio files (WAV, AIFF, MP3, FLAC, Ogg Vorbis, Opus) to
// interleaved 32-bit float frames, and the file-name rules that choose the
// decoder. A file is read only when its content is of the kind its name says.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "library/file_helpers.h"  // PathFromUtf8 for the callers that name files

namespace ombrix::dsp {

// The kinds of file a reference file may be. A WAV or AIFF name accepts any
// of the RIFF/AIFF family (WAV, WAVE_FORMAT_EXTENSIBLE, RF64, Wave64, AIFF,
// AIFF-C), whichever of these extensions it carries. An Ogg name accepts any
// Ogg stream libsndfile decodes (Vorbis, Opus, FLAC); an Opus name only Opus.
enum class AudioContainer { kWaveOrAiff, kMp3, kFlac, kOgg, kOpus };

// The kinds of file that can be read, for messages.
inline constexpr const char* kReadableFileTypes = "WAV, AIFF, MP3, FLAC, Ogg or Opus";

// How a file of that kind is named in messages ("WAV or AIFF", "Ogg Vorbis or Opus").
const char* ContainerName(AudioContainer container);

// The last path component in UTF-8.
std::string FileNameUtf8(const std::filesystem::path& path);

// The extension of a file name in lower case (ASCII letters only), dot
// included: from the last dot to the end, where a dot in first position does
// not count (".wav" has none), a trailing dot gives "." (but ".." has none),
// and a name without such a dot has none (empty).
std::string LowerCaseExtension(std::string_view fileName);

// ".wav", ".wave", ".aif", ".aiff", ".aifc", ".mp3", ".flac", ".ogg", ".oga",
// ".opus"; empty otherwise.
std::optional<AudioContainer> ContainerForExtension(std::string_view lowerCaseExtension);

class AudioFileReader {
 public:
  // Null when the file cannot be opened, is not of the expected kind (a FLAC
  // stream named .wav, say), or claims no channels or a sample rate of 0.
  static std::unique_ptr<AudioFileReader> Open(const std::filesystem::path& path, AudioContainer expected);
  // The same, saying why in the user's terms when it fails: "no such file",
  // "is a folder", "is a FLAC file, not WAV or AIFF as its name says",
  // "damaged Ogg Vorbis or Opus file", "not a readable MP3 file".
  static std::unique_ptr<AudioFileReader> Open(const std::filesystem::path& path, AudioContainer expected,
                                               std::string& whyNot);

  ~AudioFileReader();
  AudioFileReader(const AudioFileReader&) = delete;
  AudioFileReader& operator=(const AudioFileReader&) = delete;

  int Channels() const { return channels_; }
  double SampleRate() const { return sampleRate_; }
  // The length in frames the file's header states (WAV, AIFF and FLAC state
  // one); 0 when it states none. A file cut short delivers fewer.
  std::uint64_t HeaderFrames() const { return headerFrames_; }

  // Reads up to maxFrames frames into `interleaved` (room for maxFrames *
  // Channels() floats). Returns how many came; 0 at the end of the stream or
  // when the rest cannot be decoded.
  std::size_t Read(float* interleaved, std::size_t maxFrames);

 private:
  struct Handle;
  AudioFileReader(std::unique_ptr<Handle> handle, int channels, double sampleRate, std::uint64_t headerFrames);

  std::unique_ptr<Handle> handle_;
  int channels_ = 0;
  double sampleRate_ = 0.0;
  std::uint64_t headerFrames_ = 0;
};

}  // namespace ombrix::dsp
