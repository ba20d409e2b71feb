// Encodes a WAV file as FLAC, MP3 or Ogg Vorbis (by OUT's extension) with the
// test fixtures' encoder settings, so that the Linux and the Windows build
// can both analyse the very same encoded files.
//
//   encode_fixture IN.wav OUT.flac|OUT.mp3|OUT.ogg
#include <cstdio>
#include <string>
#include <vector>

#include "dsp/audio_file_reader.h"
#include "library/file_helpers.h"
#include "support/audio_fixtures.h"

int main(int argc, char** argv) {
  using ombrix::test_support::AudioFileFormat;
  if (argc != 3) {
    std::fprintf(stderr, "usage: encode_fixture IN.wav OUT.flac|OUT.mp3|OUT.ogg\n");
    return 2;
  }
  const std::string out = argv[2];
  const std::string extension = ombrix::dsp::LowerCaseExtension(out);
  AudioFileFormat format;
  if (extension == ".flac") {
    format = AudioFileFormat::kFlacPcm24;
  } else if (extension == ".mp3") {
    format = AudioFileFormat::kMp3;
  } else if (extension == ".ogg") {
    format = AudioFileFormat::kOggVorbis;
  } else {
    std::fprintf(stderr, "encode_fixture: unknown output type %s\n", extension.c_str());
    return 2;
  }
  std::string whyNot;
  auto reader = ombrix::dsp::AudioFileReader::Open(ombrix::PathFromUtf8(argv[1]),
                                                   ombrix::dsp::AudioContainer::kWaveOrAiff, whyNot);
  if (!reader) {
    std::fprintf(stderr, "encode_fixture: %s: %s\n", argv[1], whyNot.c_str());
    return 1;
  }
  const int channels = reader->Channels();
  std::vector<float> samples;
  std::vector<float> block(4096 * static_cast<std::size_t>(channels));
  while (const std::size_t got = reader->Read(block.data(), 4096)) {
    samples.insert(samples.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(got * channels));
  }
  if (!ombrix::test_support::WriteAudioFile(ombrix::PathFromUtf8(out), format, static_cast<int>(reader->SampleRate()),
                                            channels, samples)) {
    std::fprintf(stderr, "encode_fixture: could not write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
