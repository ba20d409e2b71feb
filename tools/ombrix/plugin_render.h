#pragma once
// Rendering audio through the built VST3 plug-in, loaded in a VST3 host the
// way a DAW loads it, as an offline (non-real-time) render. This header is
// free of the framework; plugin_render.cpp is where the host lives.
#include <string>

#include "tools/ombrix/audio_frames.h"
#include "tools/ombrix/progress.h"
#include "tools/ombrix/render_settings.h"

namespace ombrix::cli {

// The bundle installed beside this program (PREFIX/lib/vst3 beside
// PREFIX/bin, or ~/.vst3 beside ~/.local/bin), else the one its build
// produced. On Windows: Ombrix.vst3 beside the program, the build's own, else
// the one in %CommonProgramFiles%\VST3 (default_plugin_bundle_windows.cpp).
std::string DefaultPluginBundle();

// Loads the bundle, hands it the state through its state interface, and
// feeds the whole source through it in blocks of 512 frames into the sink,
// at the source's rate and channel count (mono or stereo only). Progress
// counts frames. Throws Failure.
void RenderThroughPlugin(const std::string& bundlePath, const RenderState& state, FrameSource& source, FrameSink& sink,
                         Progress& progress);

}  // namespace ombrix::cli
