#include "tools/ombrix/render_settings.h"

#include <system_error>

#include "library/file_helpers.h"
#include "library/presets.h"
#include "tools/ombrix/command_error.h"
#include "tools/ombrix/shown_path.h"

namespace ombrix::cli {

namespace {

PluginState ReadPresetState(const std::string& file, std::vector<std::uint8_t>& bytes) {
  const std::filesystem::path path = ArgumentPath(file);
  RefuseFolder(path, file);
  std::error_code ignored;
  if (!std::filesystem::is_regular_file(path, ignored)) throw Failure("no preset file " + file);
  PresetEntry entry;
  std::string reason;
  if (!ReadPresetFile(path, entry, reason)) throw Failure(reason);
  PluginState state;
  const StateReadResult read = ReadState(ByteChunk(entry.state), 0, state);
  if (read.plainParameterList || read.position < 0) throw Failure("the preset holds no Ombrix state: " + file);
  bytes = std::move(entry.state);
  return state;
}

}  // namespace

RenderState BuildRenderState(const RenderSettingsRequest& request) {
  RenderState render;
  if (request.presetFile) render.state = ReadPresetState(*request.presetFile, render.bytes);
  const bool changed = request.target || request.correct || !request.assignments.empty();
  if (request.presetFile && !changed) return render;

  PluginState& state = render.state;
  if (request.target) state.target = *request.target;
  if (request.correct) {
    state.params[kCorrect] = 1.0;
    for (int amount : kAmountParams) state.params[static_cast<std::size_t>(amount)] = 100.0;
  }
  for (const ParameterAssignment& assignment : request.assignments)
    state.params[static_cast<std::size_t>(assignment.index)] = assignment.value;

  ByteChunk chunk;
  WriteState(state, chunk);
  render.bytes = chunk.Bytes();
  return render;
}

dsp::Crossovers CrossoversOf(const PluginState& state) {
  return dsp::SanitizeCrossovers(state.params[kLowCrossover], state.params[kMidCrossover],
                                 state.params[kHighCrossover]);
}

std::string DescribeParameters(const PluginState& state) {
  // Switches first, then the five amounts and the frozen values in band order.
  static constexpr std::array<int, kNumParams> kShownOrder{
      kBypass,       kCorrect,     kFreeze,       kCorrectTilt,  kCorrectLow,   kCorrectLoMid,
      kCorrectHiMid, kCorrectHigh, kCorrectSpeed, kLowCrossover, kMidCrossover, kHighCrossover,
      kFrozenTilt,   kFrozenLow,   kFrozenLoMid,  kFrozenHiMid,  kFrozenHigh,   kLoudnessTarget};
  const std::array<double, kNumParams> defaults = DefaultParamValues();
  std::string text;
  for (int i : kShownOrder) {
    const auto k = static_cast<std::size_t>(i);
    if (state.params[k] == defaults[k]) continue;
    if (!text.empty()) text += ", ";
    text += std::string(Param(i).name) + " " + FormatParamValue(i, state.params[k]);
  }
  return text.empty() ? "all parameters at their defaults" : text;
}

}  // namespace ombrix::cli
