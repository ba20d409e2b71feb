#include <cstdio>

#include "tools/ombrix/analysis_options.h"
#include "tools/ombrix/analysis_report.h"
#include "tools/ombrix/batch_analysis.h"
#include "tools/ombrix/command_error.h"
#include "tools/ombrix/commands.h"
#include "tools/ombrix/option_values.h"

namespace ombrix::cli {

const char* const kAnalyzeSummary = "loudness, true peak and tonal balance of audio files";

namespace {

constexpr const char* kHelp =
    "Usage: ombrix analyze FILE... [--target NAME|FILE.omtarget] [--crossovers LOW,MID,HIGH]\n"
    "                      [--from SECONDS] [--json] [--quiet]\n"
    "\n"
    "Measures each WAV, AIFF, FLAC or MP3 file with the plug-in's own meters and\n"
    "analysis: duration, integrated loudness, the loudest short-term (3 s) loudness\n"
    "and the highest true peak, and the tonal balance of the file's long-term\n"
    "spectrum (learned as from a reference file, at most its first 15 minutes)\n"
    "against a target: a tilt in dB per octave and the deviation of the four bands\n"
    "Low, Lo-Mid, Hi-Mid and High, each with the weight the fit gave it. A file\n"
    "with less than 2 seconds of loud material has no tonal balance.\n"
    "Files are analysed in parallel; the meters measure the first two channels.\n"
    "\n"
    "Options:\n"
    "  --target NAME|FILE   Balanced (default), Dance, Metal, Pop, Rock, Schlager,\n"
    "                       or a target file\n"
    "  --crossovers L,M,H   band crossovers in Hz (default 200,2000,6000)\n"
    "  --from SECONDS       analyse from this point of each file on\n"
    "  --json               one JSON object per file and line instead of text\n"
    "  --quiet              no progress on stderr\n"
    "\n"
    "Exit status: 0 when every file was analysed, 1 when any failed (the others\n"
    "are still reported), 2 on a usage error.\n";

}  // namespace

int RunAnalyze(const std::vector<std::string>& arguments) {
  const ParsedArguments parsed = ParseArguments(arguments, {{"target", true}, {"crossovers", true}, {"from", true},
                                                            {"json", false}, {"quiet", false}});
  if (parsed.Has("help")) {
    std::fputs(kHelp, stdout);
    return kExitSuccess;
  }
  if (parsed.operands.empty()) throw UsageError("no audio files named");

  AnalysisRequest request;
  request.target = BalanceTargetFromOptions(parsed);
  if (const auto from = parsed.Value("from")) request.fromSeconds = ParseSeconds("--from", *from);
  const bool json = parsed.Has("json");

  Progress progress("analysing", 0, !parsed.Has("quiet"));
  bool anyFailed = false;
  bool first = true;
  AnalyseFiles(parsed.operands, request, progress, [&](const FileAnalysis& analysis) {
    progress.Print([&] {
      if (!analysis.ok) {
        anyFailed = true;
        PrintReason("analyze", analysis.error);
        if (json) std::printf("%s\n", FormatAnalysisJson(analysis).c_str());
        return;
      }
      if (json) {
        std::printf("%s\n", FormatAnalysisJson(analysis).c_str());
      } else {
        std::printf("%s%s", first ? "" : "\n", FormatAnalysisText(analysis).c_str());
        first = false;
      }
    });
  });
  progress.Finish();
  return anyFailed ? kExitFailure : kExitSuccess;
}

}  // namespace ombrix::cli
