#include <cstdio>
#include <system_error>

#include "library/file_helpers.h"
#include "tools/ombrix/analysis_options.h"
#include "tools/ombrix/analysis_report.h"
#include "tools/ombrix/batch_analysis.h"
#include "tools/ombrix/command_error.h"
#include "tools/ombrix/commands.h"
#include "tools/ombrix/plugin_render.h"
#include "tools/ombrix/render_report.h"
#include "tools/ombrix/shown_path.h"
#include "tools/ombrix/target_lookup.h"
#include "tools/ombrix/wav_file_sink.h"

namespace ombrix::cli {

const char* const kRenderSummary = "render an audio file through the plug-in";

namespace {

constexpr const char* kHelp =
    "Usage: ombrix render IN OUT [--plugin PATH.vst3] [--preset FILE.ompreset]\n"
    "                    [--target NAME|FILE.omtarget] [--correct] [--set NAME=VALUE]...\n"
    "                    [--bits 16|24] [--quiet]\n"
    "\n"
    "Loads the Ombrix VST3 plug-in in a VST3 host, renders IN (WAV, AIFF, FLAC,\n"
    "MP3, Ogg Vorbis or Opus, mono or stereo) through it offline and writes OUT as\n"
    "a WAV file at IN's sample rate and channel count, then shows the analysis of\n"
    "IN and OUT side by side (against the render's target and crossovers, over the\n"
    "whole files).\n"
    "\n"
    "The plug-in's state is set through its state interface: a preset's state, or\n"
    "the default state, changed by --target, --correct and --set in that order.\n"
    "\n"
    "Options:\n"
    "  --plugin PATH.vst3   the plug-in bundle (default: the one built with ombrix)\n"
    "  --preset FILE        start from this preset's state\n"
    "  --target NAME|FILE   the target: Balanced, a factory target or a target file\n"
    "  --correct            \"Correct\" on and all five correction amounts at 100 %\n"
    "  --set NAME=VALUE     a parameter by name, e.g. \"Correct Speed=5\" (seconds),\n"
    "                       \"Low Crossover=150\" (Hz), \"Bypass=on\"; values are\n"
    "                       clamped to the parameter's range; may be repeated\n"
    "  --bits 16|24         write PCM of this depth (default: 32-bit float)\n"
    "  --quiet              no progress on stderr\n";

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

}  // namespace

int RunRender(const std::vector<std::string>& arguments) {
  const ParsedArguments parsed =
      ParseArguments(arguments, {{"plugin", true}, {"preset", true}, {"target", true}, {"correct", false},
                                 {"set", true, true}, {"bits", true}, {"quiet", false}});
  if (parsed.Has("help")) {
    std::fputs(kHelp, stdout);
    return kExitSuccess;
  }
  if (parsed.operands.size() != 2) throw UsageError("name the input file and the output file");
  const std::string& input = parsed.operands[0];
  const std::string& output = parsed.operands[1];

  RenderSettingsRequest request;
  request.presetFile = parsed.Value("preset");
  if (const auto target = parsed.Value("target")) request.target = ResolveTarget(*target);
  request.correct = parsed.Has("correct");
  for (const std::string& assignment : parsed.Values("set"))
    request.assignments.push_back(ParseParameterAssignment(assignment));
  const int bits = parsed.Value("bits") ? ParseBits(*parsed.Value("bits")) : 0;
  const std::string bundle =
      parsed.Value("plugin") ? PathToUtf8(ArgumentPath(*parsed.Value("plugin"))) : DefaultPluginBundle();
  if (SameFile(PathFromUtf8(input), PathFromUtf8(output))) throw UsageError("OUT must not be IN itself");
  RefuseFolder(PathFromUtf8(output), output);

  const RenderState state = BuildRenderState(request);
  AudioFileSource source(input);
  const bool quiet = parsed.Has("quiet");
  {
    Progress progress("rendering", source.TotalFrames(), !quiet);
    WavFileSink sink(std::filesystem::absolute(PathFromUtf8(output)), source.SampleRate(), source.Channels(), bits);
    RenderThroughPlugin(bundle, state, source, sink, progress);
    sink.Commit();
  }

  std::printf("%s", DescribeRender(bundle, state.state, source.SampleRate(), source.Channels(), bits).c_str());
  return PrintBeforeAndAfter("render", input, output, state.state, quiet) ? kExitSuccess : kExitFailure;
}

}  // namespace ombrix::cli
