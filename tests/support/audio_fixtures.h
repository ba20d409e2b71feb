#pragma once
// Audio files for the reference-file tests and benchmark: programme material
// that is the same on every run, real encoded files written with libsndfile
// (WAV, AIFF, FLAC, MP3, Ogg Vorbis, Opus), hand-made bytes for damaged files, and a scratch
// folder that cleans up after itself.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ombrix::test_support {

enum class AudioFileFormat {
  kWavFloat,   // 32-bit float WAV
  kWavPcm16,
  kAiffPcm24,
  kFlacPcm24,
  kMp3,        // MPEG-1 layer III, constant 320 kbit/s
  kOggVorbis,  // highest quality
  kOpus,       // in Ogg, highest quality; 8, 12, 16, 24 or 48 kHz only
};

// Streams interleaved float frames into a new file.
class AudioFileWriter {
 public:
  AudioFileWriter(const std::filesystem::path& path, AudioFileFormat format, int sampleRate, int channels);
  ~AudioFileWriter();
  AudioFileWriter(const AudioFileWriter&) = delete;
  AudioFileWriter& operator=(const AudioFileWriter&) = delete;

  bool IsOpen() const { return file_ != nullptr; }
  // Writes `frames` frames of `channels` interleaved samples; false on failure.
  bool Write(const float* interleaved, std::size_t frames);
  // Finishes the file (also done by the destructor); false on failure.
  bool Close();

 private:
  void* file_ = nullptr;  // SNDFILE*
  int channels_ = 0;
};

// Writes the whole file at once; false on failure.
bool WriteAudioFile(const std::filesystem::path& path, AudioFileFormat format, int sampleRate, int channels,
                    const std::vector<float>& interleaved);

// Music-like test programme, one channel: pink noise with a gentle level
// swell plus a few steady tones, RMS about `rms`. Different seeds give
// different noise and tone frequencies.
std::vector<float> ProgrammeMaterial(std::uint64_t seed, double seconds, double sampleRate, double rms = 0.1);

// Interleaves equally long channels.
std::vector<float> Interleave(const std::vector<std::vector<float>>& channels);

// Multiplies every sample by `gain`.
std::vector<float> Scaled(std::vector<float> samples, double gain);

void WriteBytes(const std::filesystem::path& path, std::string_view bytes);
std::string ReadBytes(const std::filesystem::path& path);

// The 44-byte header of a canonical PCM WAV file, with whatever values are
// asked for (a sample rate of 0 included).
std::string WavHeader(std::uint32_t sampleRate, std::uint16_t channels, std::uint16_t bitsPerSample,
                      std::uint32_t dataBytes);

// A new empty folder under $OMBRIX_TEST_TMP (or the system's temporary
// folder), removed with its contents when the object goes.
class ScopedTempFolder {
 public:
  explicit ScopedTempFolder(const std::string& prefix);
  ~ScopedTempFolder();
  ScopedTempFolder(const ScopedTempFolder&) = delete;
  ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace ombrix::test_support
