#pragma once
// Reading the values of command-line options. Bad values throw UsageError
// with a reason that names the option.
#include <string>
#include <string_view>

#include "core/frequency_grid.h"

namespace ombrix::cli {

// "LOW,MID,HIGH" in Hz, each within its parameter's range, then kept an
// octave apart as the plug-in keeps them.
dsp::Crossovers ParseCrossovers(std::string_view text);

// A number of seconds, 0 or more.
double ParseSeconds(std::string_view option, std::string_view text);

// A loudness target in LUFS within the range of the plug-in's "Loudness
// Target" (-36 to -6).
double ParseLoudnessTarget(std::string_view text);

// "16" or "24" give that PCM depth; the default, 32-bit float, is 0.
int ParseBits(std::string_view text);

// "NAME=VALUE" for one of the plug-in's parameters, by its name as the
// plug-in shows it (letter case aside): a real value, clamped into the
// parameter's range, or "on"/"off" for a switch.
struct ParameterAssignment {
  int index = 0;
  double value = 0.0;
};
ParameterAssignment ParseParameterAssignment(std::string_view text);

// The parameter names, comma separated, for help and messages.
std::string ParameterNames();

}  // namespace ombrix::cli
