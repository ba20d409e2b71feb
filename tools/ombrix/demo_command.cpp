#include <chrono>
#include <cstdio>
#include <ctime>
#include <system_error>

#include "library/factory_targets.h"
#include "library/file_helpers.h"
#include "library/locale_free_numbers.h"
#include "tools/ombrix/command_error.h"
#include "tools/ombrix/command_line.h"
#include "tools/ombrix/commands.h"
#include "tools/ombrix/demo_programme.h"
#include "tools/ombrix/plugin_render.h"
#include "tools/ombrix/render_report.h"
#include "tools/ombrix/shown_path.h"
#include "tools/ombrix/target_lookup.h"
#include "tools/ombrix/wav_file_sink.h"

namespace ombrix::cli {

const char* const kDemoSummary = "hear and see a correction: writes before.wav and after.wav";

namespace {

constexpr const char* kHelp =
    "Usage: ombrix demo [DIR] [--target NAME|FILE.omtarget] [--plugin PATH.vst3] [--quiet]\n"
    "\n"
    "Makes a 30-second stereo programme with far too much low end and dull highs,\n"
    "writes it to DIR/before.wav, renders it through the plug-in with correction\n"
    "on (all five amounts 100 %, Correct Speed 2 s) towards the target (default\n"
    "Balanced), writes the result to DIR/after.wav, and prints the loudness and\n"
    "tonal balance of both.\n"
    "\n"
    "The programme goes through the plug-in twice in a row and after.wav is the\n"
    "second pass, so it is heard as it sounds once the correction has settled.\n"
    "DIR defaults to a new folder ombrix-demo-YYYYMMDD-HHMMSS in the current one.\n";

constexpr double kCorrectSpeedSeconds = 2.0;
constexpr int kPasses = 2;

std::filesystem::path FreshFolder() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::filesystem::path base = std::filesystem::current_path() / (std::string("ombrix-demo-") + stamp);
  std::filesystem::path folder = base;
  std::error_code ignored;
  for (int n = 2; std::filesystem::exists(folder, ignored); ++n) folder = base.string() + "-" + std::to_string(n);
  return folder;
}

void WriteProgramme(const std::filesystem::path& path, const std::vector<float>& programme) {
  WavFileSink sink(path, kDemoSampleRate, 2, 0);
  if (!sink.Write(programme.data(), programme.size() / 2)) throw Failure("could not write " + PathToUtf8(path));
  sink.Commit();
}

}  // namespace

int RunDemo(const std::vector<std::string>& arguments) {
  const ParsedArguments parsed = ParseArguments(arguments, {{"target", true}, {"plugin", true}, {"quiet", false}});
  if (parsed.Has("help")) {
    std::fputs(kHelp, stdout);
    return kExitSuccess;
  }
  if (parsed.operands.size() > 1) throw UsageError("name at most one folder");

  RenderSettingsRequest request;
  request.target = parsed.Value("target") ? ResolveTarget(*parsed.Value("target")) : BalancedTarget();
  request.correct = true;
  request.assignments.push_back({kCorrectSpeed, kCorrectSpeedSeconds});
  const RenderState state = BuildRenderState(request);
  const std::string bundle =
      parsed.Value("plugin") ? PathToUtf8(ArgumentPath(*parsed.Value("plugin"))) : DefaultPluginBundle();
  const bool quiet = parsed.Has("quiet");

  const std::filesystem::path folder =
      std::filesystem::absolute(parsed.operands.empty() ? FreshFolder() : PathFromUtf8(parsed.operands.front()));
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) throw Failure("could not create the folder " + PathToUtf8(folder));
  const std::filesystem::path before = folder / "before.wav";
  const std::filesystem::path after = folder / "after.wav";

  const std::vector<float> programme = SynthesiseDemoProgramme();
  WriteProgramme(before, programme);
  {
    RepeatedSamplesSource source(programme, 2, kDemoSampleRate, kPasses);
    Progress progress("rendering", source.TotalFrames(), !quiet);
    WavFileSink sink(after, kDemoSampleRate, 2, 0);
    SkippingSink secondPass(sink, source.TotalFrames() / kPasses, 2);
    RenderThroughPlugin(bundle, state, source, secondPass, progress);
    sink.Commit();
  }

  std::printf("Ombrix demo: %s s of stereo programme with too much low end and dull highs,\n"
              "corrected towards \"%s\". The programme went through the plug-in twice in a\n"
              "row; after.wav is the second pass, once the correction has settled. The\n"
              "figures below cover each whole file.\n\n",
              FormatFixed(kDemoSeconds, 0).c_str(), state.state.target.name.c_str());
  std::printf("%s", DescribeRender(bundle, state.state, kDemoSampleRate, 2, 0).c_str());
  const bool ok = PrintBeforeAndAfter("demo", PathToUtf8(before), PathToUtf8(after), state.state, quiet);
  std::printf("\nListen to %s and %s\n", ShownPath(before).c_str(), ShownPath(after).c_str());
  return ok ? kExitSuccess : kExitFailure;
}

}  // namespace ombrix::cli
