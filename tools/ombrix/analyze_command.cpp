#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>
#include <system_error>

#include <juce_events/juce_events.h>

#include "core/parameter_table.h"
#include "library/file_helpers.h"
#include "tools/ombrix/album_analysis.h"
#include "tools/ombrix/analysis_options.h"
#include "tools/ombrix/analysis_report.h"
#include "tools/ombrix/audio_file_list.h"
#include "tools/ombrix/batch_analysis.h"
#include "tools/ombrix/command_error.h"
#include "tools/ombrix/commands.h"
#include "tools/ombrix/frequency_plot.h"
#include "tools/ombrix/loudness_plot.h"
#include "tools/ombrix/option_values.h"
#include "tools/ombrix/shown_path.h"

namespace ombrix::cli {

const char* const kAnalyzeSummary = "loudness, true peak and tonal balance of audio files";

namespace {

constexpr const char* kHelp =
    "Usage: ombrix analyze FILE|DIR... [-r] [--album] [--target NAME|FILE.omtarget]\n"
    "                      [--crossovers LOW,MID,HIGH] [--from SECONDS] [--plot DIR]\n"
    "                      [--loudness-target LUFS] [--json] [--quiet]\n"
    "\n"
    "Measures each WAV, AIFF, FLAC, MP3, Ogg Vorbis or Opus file with the plug-in's\n"
    "own meters and analysis: duration, integrated loudness, the loudest short-term\n"
    "(3 s) loudness, the highest true peak, the loudest momentary (400 ms) loudness,\n"
    "the loudness range (EBU Tech 3342) and the peak-to-loudness ratio (PLR, true\n"
    "peak above integrated loudness), and the tonal balance of the file's\n"
    "long-term spectrum (learned as from a reference file, at most its first 15\n"
    "minutes) against a target: a tilt in dB per octave and the deviation of the\n"
    "four bands Low, Lo-Mid, Hi-Mid and High, each with the weight the fit gave it.\n"
    "A file with less than 2 seconds of loud material has no tonal balance.\n"
    "A folder stands for the audio files in it, sorted by name. Files are analysed\n"
    "in parallel; the meters measure the first two channels.\n"
    "\n"
    "Options:\n"
    "  -r, --recursive      also the audio files in the folders' sub-folders\n"
    "  --album              also one summary of all files as one programme: its\n"
    "                       integrated loudness gated over all their blocks, its\n"
    "                       loudness range, true peak and tonal balance\n"
    "  --target NAME|FILE   Balanced (default), Dance, Metal, Pop, Rock, Schlager,\n"
    "                       or a target file\n"
    "  --crossovers L,M,H   band crossovers in Hz (default 200,2000,6000)\n"
    "  --from SECONDS       analyse from this point of each file on\n"
    "  --plot DIR           draw each file's long-term spectrum against the target\n"
    "                       as the plug-in's display shows it, into DIR/NAME.png,\n"
    "                       and its loudness over time into DIR/NAME.loudness.png\n"
    "  --loudness-target L  the loudness target drawn in the loudness picture\n"
    "                       (LUFS, default -14)\n"
    "  --json               one JSON object per file and line instead of text\n"
    "  --quiet              no progress on stderr\n"
    "\n"
    "A file shorter than its header says is reported as cut short and measured as\n"
    "it is.\n"
    "\n"
    "Exit status: 0 when every file was analysed, 1 when any failed or a folder\n"
    "held no audio file (the others are still reported), 2 on a usage error.\n";

// The plug-in's default "Loudness Target".
const double kDefaultLoudnessTarget = Param(kLoudnessTarget).defaultValue;

// The folder pictures go to, created when missing.
std::filesystem::path PlotFolder(const std::string& option) {
  const std::filesystem::path folder = ArgumentPath(option);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!std::filesystem::is_directory(folder, error)) throw Failure("could not create the folder " + option);
  return folder;
}

}  // namespace

int RunAnalyze(const std::vector<std::string>& arguments) {
  const ParsedArguments parsed = ParseArguments(arguments, {{"target", true},
                                                            {"crossovers", true},
                                                            {"from", true},
                                                            {"plot", true},
                                                            {"loudness-target", true},
                                                            {"json", false},
                                                            {"quiet", false},
                                                            {"album", false},
                                                            {"recursive", false, false, 'r'}});
  if (parsed.Has("help")) {
    std::fputs(kHelp, stdout);
    return kExitSuccess;
  }
  if (parsed.operands.empty()) throw UsageError("no audio files named");
  const FileList list = ListAudioFiles(parsed.operands, parsed.Has("recursive"));

  AnalysisRequest request;
  request.target = BalanceTargetFromOptions(parsed);
  if (const auto from = parsed.Value("from")) request.fromSeconds = ParseSeconds("--from", *from);
  const bool json = parsed.Has("json");
  std::optional<std::filesystem::path> plotFolder;
  if (const auto plot = parsed.Value("plot")) plotFolder = PlotFolder(*plot);
  // Drawing needs the framework's message manager.
  std::optional<juce::ScopedJuceInitialiser_GUI> framework;
  if (plotFolder) framework.emplace();
  std::set<std::filesystem::path> plotsTaken;
  double loudnessTarget = kDefaultLoudnessTarget;
  if (const auto target = parsed.Value("loudness-target")) loudnessTarget = ParseLoudnessTarget(*target);
  std::optional<AlbumAnalysis> album;
  if (parsed.Has("album")) album.emplace(request.target);

  bool anyFailed = !list.problems.empty();
  for (const std::string& problem : list.problems) PrintReason("analyze", problem);
  Progress progress("analysing", 0, !parsed.Has("quiet"));
  bool first = true;
  AnalyseFiles(list.files, request, progress, [&](const FileAnalysis& analysis) {
    if (album) album->Add(analysis);
    progress.Print([&] {
      if (!analysis.ok) {
        anyFailed = true;
        PrintReason("analyze", analysis.error);
        if (json) std::printf("%s\n", FormatAnalysisJson(analysis).c_str());
        return;
      }
      if (CutShort(analysis)) PrintReason("analyze", CutShortNote(analysis));
      std::optional<std::string> plot, loudnessPlot;
      // Silence has nothing to draw; audio too short to have a long-term
      // spectrum still has a loudness over time.
      const bool audible = analysis.integratedLufs > dsp::kNothingMeasured;
      if (plotFolder && !audible && !analysis.longTermLevels) {
        PrintReason("analyze", analysis.file + ": no picture: " + analysis.balanceError);
      } else if (plotFolder) {
        const std::filesystem::path png = PlotPath(*plotFolder, analysis.file, plotsTaken);
        try {
          if (analysis.longTermLevels) {
            WriteSpectrumPlot(analysis, png);
            plot = PathToUtf8(png);
          } else {
            PrintReason("analyze", analysis.file + ": no spectrum picture: " + analysis.balanceError);
          }
          if (audible) {
            WriteLoudnessPlot(analysis, loudnessTarget, LoudnessPlotPath(png));
            loudnessPlot = PathToUtf8(LoudnessPlotPath(png));
          }
        } catch (const CommandError& error) {
          anyFailed = true;
          PrintReason("analyze", error.what());
        }
      }
      if (json) {
        std::printf("%s\n", FormatAnalysisJson(analysis, plotFolder.has_value(), plot, loudnessPlot).c_str());
      } else {
        std::string text = FormatAnalysisText(analysis);
        if (plot) text += "  Picture         " + *plot + "\n";
        if (loudnessPlot) text += "  Loudness plot   " + *loudnessPlot + "\n";
        std::printf("%s%s", first ? "" : "\n", text.c_str());
        first = false;
      }
    });
  });
  progress.Finish();
  if (album && album->Files() > 0) {
    const FileAnalysis summary = album->Summary();
    if (json)
      std::printf("%s\n", FormatAlbumJson(summary, album->Files()).c_str());
    else
      std::printf("%s%s", first ? "" : "\n", FormatAlbumText(summary, album->Files()).c_str());
  }
  return anyFailed ? kExitFailure : kExitSuccess;
}

}  // namespace ombrix::cli
