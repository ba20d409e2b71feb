// Saved states come from host projects and preset files, so the reader must
// take any bytes: it never crashes, and whatever it returns is a usable state
// with a valid target.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "library/plugin_state.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ombrix;
  const ByteChunk chunk(data, size);
  for (int start : {0, 4}) {
    PluginState state;
    const StateReadResult result = ReadState(chunk, start, state);
    Require(result.position >= -1 && result.position <= static_cast<int>(size));
    const int kind = static_cast<int>(state.target.kind);
    Require(kind >= 0 && kind <= 3);
    for (double v : state.target.curve) Require(std::isfinite(v));
    for (double v : state.target.spread) Require(std::isfinite(v));
    Require(result.targetAccepted || state.target.name == "Balanced");
    Require(state.colourScheme >= 0 && state.colourScheme <= 5);
    Require(state.resolution >= 0 && state.resolution <= 2);
    for (int i = 0; i < kNumParams; ++i) {
      const double v = state.params[static_cast<std::size_t>(i)];
      Require(v >= Param(i).minValue && v <= Param(i).maxValue);
    }
    if (result.editorSize) Require(std::abs(static_cast<double>(state.editorWidth) / state.editorHeight - 1.6) <= 0.01);
  }
  return 0;
}
