#pragma once
// The plug-in's saved state: every field a host project or a preset brings
// back, and the byte layout it is stored in.
#include <array>
#include <optional>
#include <string>

#include "core/byte_chunk.h"
#include "core/parameter_table.h"
#include "library/target_curve.h"

namespace ombrix {

inline constexpr std::int32_t kStateTag = MakeTag("OMS1");
inline constexpr std::int32_t kTargetTag = MakeTag("OMT1");
inline constexpr std::int32_t kResolutionTag = MakeTag("OMR1");
inline constexpr std::int32_t kLoudnessViewTag = MakeTag("OML1");
inline constexpr int kDefaultEditorWidth = 640;
inline constexpr int kDefaultEditorHeight = 400;
inline constexpr int kFollowTrackColour = 5;
inline constexpr int kDefaultResolution = 2;

std::array<double, kNumParams> DefaultParamValues();

struct PluginState {
  int colourScheme = kFollowTrackColour;  // 0..5
  int editorWidth = kDefaultEditorWidth;  // logical pixels, without screen scale
  int editorHeight = kDefaultEditorHeight;
  std::string presetName;
  bool presetModified = false;
  std::array<double, kNumParams> params = DefaultParamValues();
  bool hostBypass = false;
  TargetChoice target;
  int resolution = kDefaultResolution;  // 0 fine, 1 medium, 2 smooth
  bool loudnessView = false;
};

// Appends the whole layout; the host-bypass field is repeated where older
// readers expected the framework's own.
void WriteState(const PluginState& state, ByteChunk& chunk);

// What a read found. Fields the chunk does not carry keep their defaults.
struct StateReadResult {
  // The chunk did not carry our tag (or its header was damaged): it was read
  // as a plain list of parameter values, and only paramsRead of them were set.
  bool plainParameterList = false;
  int paramsRead = 0;  // leading parameters taken from the chunk
  // The stored editor size when both were positive (after the aspect rule).
  std::optional<std::pair<int, int>> editorSize;
  bool targetAccepted = false;  // otherwise state.target is the built-in target
  // Position after the last field consumed, or -1 when the parameter values
  // were cut short.
  int position = -1;
};

// Reads a chunk from pos. Parameters are clamped to their ranges, and the
// target's values too (KeepTargetValuesInRange); a damaged or missing target
// block gives the built-in target, resolution 2 and the loudness view off.
StateReadResult ReadState(const ByteChunk& chunk, int pos, PluginState& state);

// Clamps a stored value into its parameter's range; non-finite gives the default.
double ClampParamValue(int index, double value);

}  // namespace ombrix
