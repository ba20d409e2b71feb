#pragma once
// What the plug-in must allow for in the host that runs it, known from the
// host program's path.
#include <string>

namespace ombrix {

// Whether the host is built on Ardour's engine (Ardour itself, its headless
// session tool, Mixbus); the path is that of the host program, whose folder
// counts too (Ardour's tools live in Ardour's folder). Such hosts
// - ask a VST3 for a mono layout on a mono track, yet go on passing it buses
//   of the channel count it had when they created it: a plug-in there keeps
//   its stereo layout (the mono track then feeds the first input, leaves the
//   second silent and takes the first output);
// - never make a plug-in's window smaller than the size it opened at: the
//   editor opens at its smallest size there and grows to its own at once.
bool HostIsArdourBased(const std::string& hostProgramPath);

}  // namespace ombrix
