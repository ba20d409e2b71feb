// Opening audio files: the reasons given for files that cannot be read, and
// the length a file's header states against what the file holds.
#include "dsp/audio_file_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/analysis_signals.h"
#include "support/audio_fixtures.h"

namespace ombrix::dsp {
namespace {

using test_support::AudioFileFormat;
using test_support::ReadBytes;
using test_support::WriteAudioFile;
using test_support::WriteBytes;

constexpr int kRate = 48000;

std::string WhyNot(const std::filesystem::path& path) {
  std::string reason;
  const std::optional<AudioContainer> container = ContainerForExtension(LowerCaseExtension(FileNameUtf8(path)));
  if (!container) return "no container";
  if (AudioFileReader::Open(path, *container, reason) != nullptr) return "opened";
  return reason;
}

std::size_t FramesIn(AudioFileReader& reader) {
  std::vector<float> buffer(4096 * static_cast<std::size_t>(reader.Channels()));
  std::size_t total = 0;
  while (const std::size_t got = reader.Read(buffer.data(), 4096)) total += got;
  return total;
}

TEST(AudioFileReaderTest, FilesThatCannotBeReadSayWhyInTheUsersTerms) {
  test_support::ScopedTempFolder folder("reader-reasons");
  const std::vector<float> tone = test_support::Sine(440.0, kRate, kRate, 0.5);
  ASSERT_TRUE(WriteAudioFile(folder / "tone.wav", AudioFileFormat::kWavPcm16, kRate, 1, tone));
  ASSERT_TRUE(WriteAudioFile(folder / "tone.ogg", AudioFileFormat::kOggVorbis, kRate, 1, tone));
  ASSERT_TRUE(WriteAudioFile(folder / "tone.opus", AudioFileFormat::kOpus, kRate, 1, tone));
  ASSERT_TRUE(WriteAudioFile(folder / "tone.flac", AudioFileFormat::kFlacPcm24, kRate, 1, tone));
  const std::string ogg = ReadBytes(folder / "tone.ogg");
  WriteBytes(folder / "damaged.ogg", ogg.substr(0, 28) + std::string(100, '\x55') + ogg.substr(128));
  WriteBytes(folder / "text.opus", "not audio at all\n");
  WriteBytes(folder / "vorbis.opus", ogg);
  WriteBytes(folder / "flac.ogg", ReadBytes(folder / "tone.flac"));
  WriteBytes(folder / "opus.wav", ReadBytes(folder / "tone.opus"));
  std::filesystem::create_directory(folder / "album.flac");

  const struct {
    const char* name;
    const char* reason;
  } cases[] = {
      {"tone.ogg", "opened"},
      {"tone.opus", "opened"},
      {"missing.ogg", "no such file"},
      {"album.flac", "is a folder"},
      {"damaged.ogg", "damaged Ogg Vorbis or Opus file"},
      {"text.opus", "not a readable Opus file"},
      {"vorbis.opus", "is an Ogg Vorbis file, not Opus as its name says"},
      {"flac.ogg", "is a FLAC file, not Ogg Vorbis or Opus as its name says"},
      {"opus.wav", "is an Opus file, not WAV or AIFF as its name says"},
  };
  for (const auto& c : cases) EXPECT_EQ(WhyNot(folder / c.name), c.reason) << c.name;
}

// WAV, AIFF and FLAC headers state a length; libsndfile reads what is there.
TEST(AudioFileReaderTest, HeaderFramesTellAFileCutShortFromAWholeOne) {
  test_support::ScopedTempFolder folder("reader-cut");
  const std::vector<float> noise = test_support::PinkNoise(3, 2 * kRate, 0.1);
  const struct {
    const char* name;
    AudioFileFormat format;
  } cases[] = {
      {"noise.wav", AudioFileFormat::kWavPcm16},
      {"noise.aiff", AudioFileFormat::kAiffPcm24},
      {"noise.flac", AudioFileFormat::kFlacPcm24},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path whole = folder / c.name;
    ASSERT_TRUE(WriteAudioFile(whole, c.format, kRate, 2, test_support::Interleave({noise, noise})));
    const std::filesystem::path cut = folder / (std::string("cut-") + c.name);
    const std::string bytes = ReadBytes(whole);
    WriteBytes(cut, bytes.substr(0, bytes.size() / 2));
    const auto container = ContainerForExtension(LowerCaseExtension(c.name));
    ASSERT_TRUE(container);

    const auto wholeReader = AudioFileReader::Open(whole, *container);
    ASSERT_NE(wholeReader, nullptr);
    EXPECT_EQ(wholeReader->HeaderFrames(), 2u * kRate);
    EXPECT_EQ(FramesIn(*wholeReader), 2u * kRate);

    const auto cutReader = AudioFileReader::Open(cut, *container);
    ASSERT_NE(cutReader, nullptr);
    EXPECT_EQ(cutReader->HeaderFrames(), 2u * kRate);
    const std::size_t frames = FramesIn(*cutReader);
    EXPECT_GT(frames, kRate / 4);
    EXPECT_LT(frames, 2u * kRate);
  }
  // An Ogg stream states no length.
  ASSERT_TRUE(WriteAudioFile(folder / "noise.ogg", AudioFileFormat::kOggVorbis, kRate, 1, noise));
  const auto ogg = AudioFileReader::Open(folder / "noise.ogg", AudioContainer::kOgg);
  ASSERT_NE(ogg, nullptr);
  EXPECT_EQ(ogg->HeaderFrames(), 0u);
}

}  // namespace
}  // namespace ombrix::dsp
