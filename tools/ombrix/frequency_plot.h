#pragma once
// Pictures of a file's long-term spectrum against the target, drawn off-screen
// by the editor's own spectrum display: the target's tolerance band, the
// spectrum level-matched to it as the editor shows the input (1-octave
// smoothing), the places where it leaves the band, and the crossovers the
// tonal balance was fitted with; no output or correction curves. A caption
// line below names the file, its integrated loudness and its tilt.
//
// Runs on the thread that initialised JUCE's message manager (drawing fonts
// and components needs it); needs no display.
#include <filesystem>
#include <set>
#include <string>

#include "tools/ombrix/file_analysis.h"

namespace ombrix::cli {

// The picture's file in folder for an analysed file: its name with ".png"
// appended ("song.wav.png"), numbered (" (2)") when a picture of this run
// already took that name.
std::filesystem::path PlotPath(const std::filesystem::path& folder, const std::string& file,
                               std::set<std::filesystem::path>& taken);

// Writes the PNG (replaced whole or not at all). The analysis must have a
// long-term curve. Throws Failure when the picture cannot be written.
void WriteSpectrumPlot(const FileAnalysis& analysis, const std::filesystem::path& png);

// The caption line: "song.wav  -21.0 LUFS integrated  tilt -1.78 dB/octave against "Balanced"".
std::string PlotCaption(const FileAnalysis& analysis);

}  // namespace ombrix::cli
