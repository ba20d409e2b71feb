#pragma once
// What render and demo print about a render: how it was made, and the
// analysis of the audio before and after, side by side.
#include <string>

#include "library/plugin_state.h"

namespace ombrix::cli {

// "Plug-in ...", "Rendered offline at ...", "Target ...", "Settings ..." lines.
std::string DescribeRender(const std::string& bundle, const PluginState& state, double sampleRate, int channels,
                           int bits);

// Analyses both files against the state's target and crossovers and prints
// them side by side. A file that cannot be analysed is reported on stderr;
// returns false then.
bool PrintBeforeAndAfter(const std::string& command, const std::string& before, const std::string& after,
                         const PluginState& state, bool quiet);

}  // namespace ombrix::cli
