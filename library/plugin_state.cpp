#include "library/plugin_state.h"

#include <algorithm>
#include <cmath>

#include "library/factory_targets.h"

namespace ombrix {
namespace {

void ReadPlainParameterList(const ByteChunk& chunk, int pos, PluginState& state, StateReadResult& result) {
  result.plainParameterList = true;
  for (int i = 0; i < kNumParams && pos >= 0; ++i) {
    double value = 0.0;
    pos = chunk.GetDouble(value, pos);
    if (pos >= 0) {
      state.params[static_cast<std::size_t>(i)] = ClampParamValue(i, value);
      result.paramsRead = i + 1;
    }
  }
  result.position = pos;
}

// The target block is taken whole or not at all.
bool ReadTargetBlock(const ByteChunk& chunk, int& pos, TargetChoice& target) {
  std::int32_t tag = 0, kind = 0, count = 0;
  TargetChoice read;
  int p = chunk.GetInt(tag, pos);
  if (p < 0 || tag != kTargetTag) return false;
  p = chunk.GetInt(kind, p);
  if (p < 0 || kind < 0 || kind > 3) return false;
  read.kind = static_cast<TargetKind>(kind);
  if ((p = chunk.GetString(read.name, p)) < 0) return false;
  if ((p = chunk.GetString(read.source, p)) < 0) return false;
  p = chunk.GetInt(count, p);
  if (p < 0 || count != static_cast<std::int32_t>(dsp::kGridPoints)) return false;
  for (auto* values : {&read.curve, &read.spread}) {
    for (double& v : *values) {
      p = chunk.GetDouble(v, p);
      if (p < 0 || !std::isfinite(v)) return false;
    }
  }
  KeepTargetValuesInRange(read.curve, read.spread);
  target = std::move(read);
  pos = p;
  return true;
}

// An optional tagged int after the skipped host-bypass field: accepted only
// with the right tag and a value in [lo, hi]; then pos moves past it.
std::optional<int> ReadTaggedInt(const ByteChunk& chunk, int& pos, std::int32_t wantedTag, int lo, int hi) {
  std::int32_t tag = 0, value = 0;
  int p = chunk.GetInt(tag, pos + 4);
  if (p < 0 || tag != wantedTag) return std::nullopt;
  p = chunk.GetInt(value, p);
  if (p < 0 || value < lo || value > hi) return std::nullopt;
  pos = p;
  return value;
}

}  // namespace

std::array<double, kNumParams> DefaultParamValues() {
  std::array<double, kNumParams> values{};
  for (int i = 0; i < kNumParams; ++i) values[static_cast<std::size_t>(i)] = Param(i).defaultValue;
  return values;
}

double ClampParamValue(int index, double value) {
  const ParamSpec& p = Param(index);
  if (!std::isfinite(value)) return p.defaultValue;
  return std::clamp(value, p.minValue, p.maxValue);
}

void WriteState(const PluginState& s, ByteChunk& chunk) {
  const std::int32_t bypass = s.hostBypass ? 1 : 0;
  chunk.PutInt(kStateTag);
  chunk.PutInt(1);  // version
  chunk.PutInt(s.colourScheme);
  chunk.PutInt(s.editorWidth);
  chunk.PutInt(s.editorHeight);
  chunk.PutString(s.presetName);
  chunk.PutInt(s.presetModified ? 1 : 0);
  chunk.PutInt(kNumParams);
  for (double v : s.params) chunk.PutDouble(v);
  chunk.PutInt(bypass);
  chunk.PutInt(kTargetTag);
  chunk.PutInt(static_cast<std::int32_t>(s.target.kind));
  chunk.PutString(s.target.name);
  chunk.PutString(s.target.source);
  chunk.PutInt(static_cast<std::int32_t>(dsp::kGridPoints));
  for (double v : s.target.curve) chunk.PutDouble(v);
  for (double v : s.target.spread) chunk.PutDouble(v);
  chunk.PutInt(bypass);
  chunk.PutInt(kResolutionTag);
  chunk.PutInt(s.resolution);
  chunk.PutInt(bypass);
  chunk.PutInt(kLoudnessViewTag);
  chunk.PutInt(s.loudnessView ? 1 : 0);
  chunk.PutInt(bypass);
}

StateReadResult ReadState(const ByteChunk& chunk, int pos, PluginState& state) {
  StateReadResult result;
  std::int32_t tag = 0;
  if (chunk.GetInt(tag, pos) < 0 || tag != kStateTag) {
    ReadPlainParameterList(chunk, pos, state, result);
    return result;
  }

  std::int32_t colour = 0, width = 0, height = 0, modified = 0, count = 0;
  std::string presetName;
  int p = chunk.GetInt(colour, pos + 8);
  if (p >= 0) p = chunk.GetInt(width, p);
  if (p >= 0) p = chunk.GetInt(height, p);
  if (p >= 0) p = chunk.GetString(presetName, p);
  if (p >= 0) p = chunk.GetInt(modified, p);
  if (p >= 0) p = chunk.GetInt(count, p);
  if (p < 0 || count < 0) {
    ReadPlainParameterList(chunk, pos, state, result);
    return result;
  }

  state.colourScheme = (colour >= 0 && colour <= 5) ? colour : 0;
  if (width > 0 && height > 0) {
    const double aspect = static_cast<double>(width) / height;
    if (std::abs(aspect - 1.6) > 0.01) {
      width = kDefaultEditorWidth;
      height = kDefaultEditorHeight;
    }
    state.editorWidth = width;
    state.editorHeight = height;
    result.editorSize = std::pair{static_cast<int>(width), static_cast<int>(height)};
  }

  state.params = DefaultParamValues();
  for (std::int32_t i = 0; i < count; ++i) {
    double value = 0.0;
    p = chunk.GetDouble(value, p);
    if (p < 0) {
      result.position = -1;
      state.presetName = presetName;
      state.presetModified = modified != 0;
      return result;
    }
    if (i < kNumParams) {
      state.params[static_cast<std::size_t>(i)] = ClampParamValue(i, value);
      result.paramsRead = i + 1;
    }
  }
  state.presetName = presetName;
  state.presetModified = modified != 0;

  // Each optional block sits four bytes on, past a host-bypass field.
  int afterTarget = p + 4;
  result.targetAccepted = ReadTargetBlock(chunk, afterTarget, state.target);
  state.resolution = kDefaultResolution;
  state.loudnessView = false;
  if (!result.targetAccepted) {
    state.target = BalancedTarget();
    result.position = p;
    return result;
  }
  p = afterTarget;
  if (auto resolution = ReadTaggedInt(chunk, p, kResolutionTag, 0, 2)) state.resolution = *resolution;
  if (auto view = ReadTaggedInt(chunk, p, kLoudnessViewTag, 0, 1)) state.loudnessView = *view == 1;
  result.position = p;
  return result;
}

}  // namespace ombrix
