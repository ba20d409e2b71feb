#include "support/audio_fixtures.h"

#include <sndfile.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numbers>
#include <random>
#include <sstream>
#include <system_error>

#include "dsp/sound_file_open.h"
#include "support/analysis_signals.h"

namespace ombrix::test_support {

namespace {

int SndfileFormat(AudioFileFormat format) {
  switch (format) {
    case AudioFileFormat::kWavFloat:
      return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    case AudioFileFormat::kWavPcm16:
      return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    case AudioFileFormat::kAiffPcm24:
      return SF_FORMAT_AIFF | SF_FORMAT_PCM_24;
    case AudioFileFormat::kFlacPcm24:
      return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    case AudioFileFormat::kMp3:
      return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    case AudioFileFormat::kOggVorbis:
      return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case AudioFileFormat::kOpus:
      return SF_FORMAT_OGG | SF_FORMAT_OPUS;
  }
  return 0;
}

void AppendLittleEndian(std::string& out, std::uint32_t value, int bytes) {
  for (int b = 0; b < bytes; ++b) out.push_back(static_cast<char>((value >> (8 * b)) & 0xFF));
}

}  // namespace

AudioFileWriter::AudioFileWriter(const std::filesystem::path& path, AudioFileFormat format, int sampleRate,
                                 int channels)
    : channels_(channels) {
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = channels;
  info.format = SndfileFormat(format);
  SNDFILE* file = dsp::OpenSoundFile(path, SFM_WRITE, info);
  if (file == nullptr) return;
  double highestQuality = 0.0;
  if (format == AudioFileFormat::kMp3) {
    int mode = SF_BITRATE_MODE_CONSTANT;
    sf_command(file, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
    sf_command(file, SFC_SET_COMPRESSION_LEVEL, &highestQuality, sizeof highestQuality);
  }
  if (format == AudioFileFormat::kOggVorbis || format == AudioFileFormat::kOpus)
    sf_command(file, SFC_SET_COMPRESSION_LEVEL, &highestQuality, sizeof highestQuality);
  // Float sources beyond full scale are clipped in integer formats rather than wrapped.
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  file_ = file;
}

AudioFileWriter::~AudioFileWriter() { Close(); }

bool AudioFileWriter::Write(const float* interleaved, std::size_t frames) {
  if (file_ == nullptr) return false;
  const auto count = static_cast<sf_count_t>(frames);
  return sf_writef_float(static_cast<SNDFILE*>(file_), interleaved, count) == count;
}

bool AudioFileWriter::Close() {
  if (file_ == nullptr) return false;
  const bool ok = sf_close(static_cast<SNDFILE*>(file_)) == 0;
  file_ = nullptr;
  return ok;
}

bool WriteAudioFile(const std::filesystem::path& path, AudioFileFormat format, int sampleRate, int channels,
                    const std::vector<float>& interleaved) {
  AudioFileWriter writer(path, format, sampleRate, channels);
  const std::size_t frames = channels > 0 ? interleaved.size() / static_cast<std::size_t>(channels) : 0;
  return writer.IsOpen() && writer.Write(interleaved.data(), frames) && writer.Close();
}

std::vector<float> ProgrammeMaterial(std::uint64_t seed, double seconds, double sampleRate, double rms) {
  const auto count = static_cast<std::size_t>(std::llround(seconds * sampleRate));
  std::vector<float> noise = PinkNoise(seed, count, 1.0);
  const double tones[4] = {55.0 + 10.0 * static_cast<double>(seed % 3), 330.0,
                           1250.0 + 70.0 * static_cast<double>(seed % 5), 5200.0};
  const double twoPi = 2.0 * std::numbers::pi;
  std::vector<double> mixed(count);
  double sum = 0.0;
  for (std::size_t n = 0; n < count; ++n) {
    const double t = static_cast<double>(n) / sampleRate;
    const double swell = 1.0 + 0.4 * std::sin(twoPi * 0.23 * t + static_cast<double>(seed));
    double sample = noise[n] * swell;
    for (int k = 0; k < 4; ++k) sample += 0.25 / (k + 1) * std::sin(twoPi * tones[k] * t + k);
    mixed[n] = sample;
    sum += sample * sample;
  }
  const double scale = count > 0 && sum > 0.0 ? rms / std::sqrt(sum / static_cast<double>(count)) : 0.0;
  std::vector<float> out(count);
  for (std::size_t n = 0; n < count; ++n) out[n] = static_cast<float>(mixed[n] * scale);
  return out;
}

std::vector<float> Interleave(const std::vector<std::vector<float>>& channels) {
  if (channels.empty()) return {};
  const std::size_t frames = channels.front().size();
  std::vector<float> out(frames * channels.size());
  for (std::size_t n = 0; n < frames; ++n) {
    for (std::size_t c = 0; c < channels.size(); ++c) out[n * channels.size() + c] = channels[c][n];
  }
  return out;
}

std::vector<float> Scaled(std::vector<float> samples, double gain) {
  for (float& s : samples) s = static_cast<float>(s * gain);
  return samples;
}

void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string WavHeader(std::uint32_t sampleRate, std::uint16_t channels, std::uint16_t bitsPerSample,
                      std::uint32_t dataBytes) {
  const std::uint32_t blockAlign = static_cast<std::uint32_t>(channels) * bitsPerSample / 8;
  std::string header = "RIFF";
  AppendLittleEndian(header, 36 + dataBytes, 4);
  header += "WAVEfmt ";
  AppendLittleEndian(header, 16, 4);
  AppendLittleEndian(header, 1, 2);  // PCM
  AppendLittleEndian(header, channels, 2);
  AppendLittleEndian(header, sampleRate, 4);
  AppendLittleEndian(header, sampleRate * blockAlign, 4);
  AppendLittleEndian(header, blockAlign, 2);
  AppendLittleEndian(header, bitsPerSample, 2);
  header += "data";
  AppendLittleEndian(header, dataBytes, 4);
  return header;
}

ScopedTempFolder::ScopedTempFolder(const std::string& prefix) {
  static std::atomic<int> counter{0};
  // Tells this process's folders from those of programs running beside it.
  static const unsigned processToken = std::random_device{}();
  const char* base = std::getenv("OMBRIX_TEST_TMP");
  const std::filesystem::path root =
      base != nullptr && *base != '\0' ? std::filesystem::path(base) : std::filesystem::temp_directory_path();
  std::filesystem::create_directories(root);
  for (;;) {
    std::ostringstream name;
    name << prefix << '-' << processToken << '-' << counter.fetch_add(1);
    path_ = root / name.str();
    std::error_code error;
    if (std::filesystem::create_directory(path_, error)) break;
    if (error) throw std::filesystem::filesystem_error("cannot create test folder", path_, error);
  }
}

ScopedTempFolder::~ScopedTempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace ombrix::test_support
