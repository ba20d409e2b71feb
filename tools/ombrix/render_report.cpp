#include "tools/ombrix/render_report.h"

#include <cstdio>
#include <vector>

#include "library/file_helpers.h"
#include "library/locale_free_numbers.h"
#include "tools/ombrix/analysis_options.h"
#include "tools/ombrix/analysis_report.h"
#include "tools/ombrix/batch_analysis.h"
#include "tools/ombrix/command_error.h"
#include "tools/ombrix/render_settings.h"
#include "tools/ombrix/shown_path.h"

namespace ombrix::cli {

std::string DescribeRender(const std::string& bundle, const PluginState& state, double sampleRate, int channels,
                           int bits) {
  const std::string format = bits == 0 ? "32-bit float" : std::to_string(bits) + "-bit PCM";
  return "Plug-in   " + ShownPath(PathFromUtf8(bundle)) + "\n" + "Render    offline, " + FormatFixed(sampleRate, 0) + " Hz, " +
         (channels == 1 ? "mono" : "stereo") + ", written as " + format + " WAV\n" + "Target    " +
         state.target.name + "\n" + "Settings  " + DescribeParameters(state) + "\n\n";
}

bool PrintBeforeAndAfter(const std::string& command, const std::string& before, const std::string& after,
                         const PluginState& state, bool quiet) {
  AnalysisRequest request;
  request.target = MakeBalanceTarget(state.target, CrossoversOf(state));
  std::vector<FileAnalysis> analyses;
  Progress progress("analysing", 0, !quiet);
  AnalyseFiles({before, after}, request, progress, [&](const FileAnalysis& a) { analyses.push_back(a); });
  progress.Finish();
  bool ok = true;
  for (const FileAnalysis& a : analyses) {
    if (a.ok) continue;
    PrintReason(command, a.error);
    ok = false;
  }
  if (ok) std::printf("%s", FormatComparisonText(analyses[0], analyses[1], "before", "after").c_str());
  return ok;
}

}  // namespace ombrix::cli
