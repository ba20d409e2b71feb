#pragma once
// Pictures of a file's loudness over time: the momentary (400 ms) and
// short-term (3 s) loudness of every 100 ms, the integrated loudness and the
// loudness target as lines, levels in LUFS on the vertical axis and time in
// m:ss below; a caption line names the file, its integrated loudness, its
// loudness range and its loudest momentary value.
//
// Runs on the thread that initialised JUCE's message manager; needs no display.
#include <filesystem>
#include <string>

#include "tools/ombrix/file_analysis.h"

namespace ombrix::cli {

// "song.wav.png" -> "song.wav.loudness.png", beside the spectrum picture.
std::filesystem::path LoudnessPlotPath(const std::filesystem::path& spectrumPlot);

// Writes the PNG (replaced whole or not at all). Throws Failure when the
// picture cannot be written.
void WriteLoudnessPlot(const FileAnalysis& analysis, double loudnessTarget, const std::filesystem::path& png);

// "0:05", "1:30", "62:00": minutes and seconds, rounded to whole seconds.
std::string MinutesSeconds(double seconds);

// The step between labelled times for a programme this long: 1, 2, 5, 10,
// 15 or 30 seconds or 1, 2, 5, 10, 15, 30 or 60 minutes, at most 8 steps in all.
double TimeStep(double totalSeconds);

}  // namespace ombrix::cli
