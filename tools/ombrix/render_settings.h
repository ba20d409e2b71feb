#pragma once
// The plug-in state a render runs with: a preset's state, or the defaults,
// changed by the target, --correct and --set as asked.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "library/plugin_state.h"
#include "core/frequency_grid.h"
#include "tools/ombrix/option_values.h"

namespace ombrix::cli {

struct RenderSettingsRequest {
  std::optional<std::string> presetFile;
  std::optional<TargetChoice> target;
  bool correct = false;  // "Correct" on and all five amounts at 100 %
  std::vector<ParameterAssignment> assignments;  // applied last, in order
};

struct RenderState {
  PluginState state;               // what the bytes hold
  std::vector<std::uint8_t> bytes; // the component state handed to the plug-in
};

// A preset without changes is handed over byte for byte. A preset that
// cannot be read, or holds no Ombrix state, throws Failure.
RenderState BuildRenderState(const RenderSettingsRequest& request);

// The band crossovers the state's parameters give, as the plug-in sanitises them.
dsp::Crossovers CrossoversOf(const PluginState& state);

// "Correct on, Correct Speed 2.0 s, ..." for every parameter away from its
// default; "all parameters at their defaults" otherwise.
std::string DescribeParameters(const PluginState& state);

}  // namespace ombrix::cli
