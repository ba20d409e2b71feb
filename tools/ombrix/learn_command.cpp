#include <atomic>
#include <cstdio>

#include "dsp/audio_file_reader.h"
#include "dsp/reference_file.h"
#include "library/file_helpers.h"
#include "library/locale_free_numbers.h"
#include "library/target_curve.h"
#include "tools/ombrix/command_error.h"
#include "tools/ombrix/command_line.h"
#include "tools/ombrix/commands.h"
#include "tools/ombrix/file_analysis.h"
#include "tools/ombrix/progress.h"
#include "tools/ombrix/shown_path.h"

namespace ombrix::cli {

const char* const kLearnSummary = "learn a target file from a reference audio file";

namespace {

constexpr const char* kHelp =
    "Usage: ombrix learn FILE -o OUT.omtarget [--name NAME] [--quiet]\n"
    "\n"
    "Learns a target from a reference audio file (WAV, AIFF, FLAC, MP3, Ogg Vorbis\n"
    "or Opus) exactly as the plug-in's \"Learn from reference file\" does, at most\n"
    "its first 15 minutes, and writes the target file the plug-in would save: the\n"
    "same curve, spread and text. The file needs at least 2 seconds of loud\n"
    "material.\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE    the target file to write (replaced if it exists)\n"
    "  --name NAME          the target's name (default: FILE's name without extension)\n"
    "  --quiet              no progress on stderr\n";

}  // namespace

int RunLearn(const std::vector<std::string>& arguments) {
  const ParsedArguments parsed =
      ParseArguments(arguments, {{"output", true, false, 'o'}, {"name", true}, {"quiet", false}});
  if (parsed.Has("help")) {
    std::fputs(kHelp, stdout);
    return kExitSuccess;
  }
  if (parsed.operands.size() != 1) throw UsageError("name exactly one audio file to learn from");
  const std::optional<std::string> output = parsed.Value("output");
  if (!output || output->empty()) throw UsageError("name the target file to write with -o OUT.omtarget");

  const std::filesystem::path input = PathFromUtf8(parsed.operands.front());
  const std::string fileName = dsp::FileNameUtf8(input);
  const std::string name = parsed.Value("name").value_or(PathToUtf8(input.filename().stem()));

  std::string error;
  // The reason in the user's terms when the file cannot be read at all.
  if (!OpenAudioFile(input, error)) throw Failure(parsed.operands.front() + ": " + error);
  RefuseFolder(PathFromUtf8(*output), *output);

  dsp::LearnedCurve curve;
  const std::atomic<bool> neverCancelled{false};
  Progress progress("learning from " + fileName, 0, !parsed.Has("quiet"));
  const bool learned =
      dsp::AnalyseReferenceFile(input, curve, error, dsp::kReferenceFileMaxSeconds, neverCancelled);
  progress.Finish();
  if (!learned) throw Failure(error);

  const std::filesystem::path target = std::filesystem::absolute(PathFromUtf8(*output));
  if (!WriteDocumentAtomically(target, WriteTargetText(name, fileName, curve.levels, curve.spread), error))
    throw Failure(error);
  std::printf("Learned \"%s\" from %s s of loud material in %s\nWrote %s\n", name.c_str(),
              FormatFixed(curve.loudSeconds, 1).c_str(), fileName.c_str(), ShownPath(target).c_str());
  return kExitSuccess;
}

}  // namespace ombrix::cli
