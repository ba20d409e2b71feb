#include <cstdio>
#include <memory>

#include "library/file_helpers.h"
#include "library/locale_free_numbers.h"
#include "tools/ombrix/command_error.h"
#include "tools/ombrix/command_line.h"
#include "tools/ombrix/commands.h"
#include "tools/ombrix/demo_programme.h"
#include "tools/ombrix/editor_screenshot.h"
#include "tools/ombrix/option_values.h"
#include "tools/ombrix/shown_path.h"
#include "tools/ombrix/target_lookup.h"

namespace ombrix::cli {

const char* const kScreenshotSummary = "draw the plug-in's window, after it has listened, to a PNG file";

namespace {

constexpr const char* kHelp =
    "Usage: ombrix screenshot -o OUT.png [--state FILE.ompreset] [--audio FILE]\n"
    "                        [--target NAME|FILE.omtarget] [--correct] [--scale S]\n"
    "                        [--menu target|presets|settings] [--quiet]\n"
    "\n"
    "Creates the plug-in with its window open, plays the audio through it (the\n"
    "demo programme unless --audio names a file) so the display fills, and draws\n"
    "the window to a PNG file.\n"
    "\n"
    "Options:\n"
    "  -o, --output OUT.png  the picture to write\n"
    "  --state FILE          start from this preset's state\n"
    "  --audio FILE          play this WAV, AIFF, FLAC, MP3, Ogg or Opus file (mono\n"
    "                        or stereo)\n"
    "  --target NAME|FILE    the target: Balanced, a factory target or a target file\n"
    "  --correct             \"Correct\" on and all five correction amounts at 100 %\n"
    "  --scale S             the window scale, 0.75 to 2 (default 1)\n"
    "  --menu NAME           draw this menu open: the target menu, the preset list\n"
    "                        or the settings menu\n"
    "  --quiet               no progress on stderr\n";

OpenMenu ParseMenu(const std::string& text) {
  if (text == "target") return OpenMenu::kTarget;
  if (text == "presets") return OpenMenu::kPresets;
  if (text == "settings") return OpenMenu::kSettings;
  throw UsageError("--menu takes target, presets or settings");
}

float ParseScale(const std::string& text) {
  const std::optional<double> value = ParseNumber(text);
  if (!value || *value < 0.75 || *value > 2.0) throw UsageError("--scale takes a number from 0.75 to 2");
  return static_cast<float>(*value);
}

}  // namespace

int RunScreenshot(const std::vector<std::string>& arguments) {
  const ParsedArguments parsed =
      ParseArguments(arguments, {{"output", true, false, 'o'}, {"state", true}, {"audio", true}, {"target", true},
                                 {"correct", false}, {"scale", true}, {"menu", true}, {"quiet", false}});
  if (parsed.Has("help")) {
    std::fputs(kHelp, stdout);
    return kExitSuccess;
  }
  if (!parsed.operands.empty()) throw UsageError("unexpected argument \"" + parsed.operands[0] + "\"");
  const std::optional<std::string> output = parsed.Value("output");
  if (!output) throw UsageError("name the picture to write with -o OUT.png");

  RenderSettingsRequest settings;
  settings.presetFile = parsed.Value("state");
  if (const auto target = parsed.Value("target")) settings.target = ResolveTarget(*target);
  settings.correct = parsed.Has("correct");
  const RenderState state = BuildRenderState(settings);

  std::unique_ptr<FrameSource> source;
  std::vector<float> programme;
  if (const auto audio = parsed.Value("audio")) {
    source = std::make_unique<AudioFileSource>(*audio);
  } else {
    programme = SynthesiseDemoProgramme();
    source = std::make_unique<RepeatedSamplesSource>(programme, 2, kDemoSampleRate, 1);
  }

  ScreenshotRequest request;
  request.state = &state;
  request.source = source.get();
  request.windowScale = parsed.Value("scale") ? ParseScale(*parsed.Value("scale")) : 1.0f;
  request.menu = parsed.Value("menu") ? ParseMenu(*parsed.Value("menu")) : OpenMenu::kNone;
  const std::filesystem::path png = std::filesystem::absolute(PathFromUtf8(*output));
  {
    Progress progress("listening", source->TotalFrames(), !parsed.Has("quiet"));
    WriteEditorScreenshot(request, png, progress);
    progress.Finish();
  }
  std::printf("Wrote %s\n", ShownPath(png).c_str());
  return kExitSuccess;
}

}  // namespace ombrix::cli
