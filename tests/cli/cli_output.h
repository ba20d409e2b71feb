#pragma once
// Reading what ombrix wrote: figures from its text reports, and audio files.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ombrix::test_support {

// The reports of several files, split at blank lines.
std::vector<std::string> ReportBlocks(const std::string& text);

// The lines of a text, without their line ends.
std::vector<std::string> Lines(const std::string& text);

// The first number after `label` on the first line that starts with it
// (leading spaces aside); nothing when there is no such line or number.
std::optional<double> Figure(const std::string& report, const std::string& label);

// The n-th number (0-based) on that line, for side-by-side reports.
std::optional<double> FigureInColumn(const std::string& report, const std::string& label, int n);

struct DecodedAudio {
  int sampleRate = 0;
  int channels = 0;
  int format = 0;  // libsndfile's format code
  std::vector<float> samples;  // interleaved
};

// Empty (channels 0) when the file cannot be read.
DecodedAudio ReadAudio(const std::filesystem::path& path);

}  // namespace ombrix::test_support
