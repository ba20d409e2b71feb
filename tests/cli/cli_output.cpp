#include "cli/cli_output.h"

#include <sndfile.h>

#include <cstdlib>
#include <sstream>

namespace ombrix::test_support {

std::vector<std::string> ReportBlocks(const std::string& text) {
  std::vector<std::string> blocks;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\n\n", start);
    blocks.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  return blocks;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

namespace {

std::optional<std::string> LineAfterLabel(const std::string& report, const std::string& label) {
  std::istringstream lines(report);
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos || line.compare(first, label.size(), label) != 0) continue;
    const std::size_t after = first + label.size();
    if (after < line.size() && line[after] != ' ') continue;  // "High" must not match "Hi-Mid" or "Higher"
    return line.substr(after);
  }
  return std::nullopt;
}

}  // namespace

std::optional<double> FigureInColumn(const std::string& report, const std::string& label, int n) {
  const std::optional<std::string> rest = LineAfterLabel(report, label);
  if (!rest) return std::nullopt;
  const char* p = rest->c_str();
  for (int found = 0; *p != '\0';) {
    if ((*p == '+' || *p == '-') && p[1] >= '0' && p[1] <= '9') {
    } else if (!(*p >= '0' && *p <= '9')) {
      ++p;
      continue;
    }
    char* end = nullptr;
    const double value = std::strtod(p, &end);
    if (found++ == n) return value;
    p = end;
  }
  return std::nullopt;
}

std::optional<double> Figure(const std::string& report, const std::string& label) {
  return FigureInColumn(report, label, 0);
}

DecodedAudio ReadAudio(const std::filesystem::path& path) {
  DecodedAudio audio;
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) return audio;
  audio.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
  const sf_count_t got = sf_readf_float(file, audio.samples.data(), info.frames);
  sf_close(file);
  if (got != info.frames) return DecodedAudio{};
  audio.sampleRate = info.samplerate;
  audio.channels = info.channels;
  audio.format = info.format;
  return audio;
}

}  // namespace ombrix::test_support
