#pragma once
// A picture of the plug-in's editor as a user would see it after listening
// for a while: the plug-in runs in this process with the state asked for, the
// audio goes through it offline with the editor open and its idle tick every
// 20 ms of audio, and the editor is then drawn off-screen.
#include <filesystem>

#include "tools/ombrix/audio_frames.h"
#include "tools/ombrix/progress.h"
#include "tools/ombrix/render_settings.h"

namespace ombrix::cli {

// A menu drawn open over the window, as it drops from its control.
enum class OpenMenu { kNone, kTarget, kPresets, kSettings };

struct ScreenshotRequest {
  const RenderState* state = nullptr;
  FrameSource* source = nullptr;
  float windowScale = 1.0f;
  OpenMenu menu = OpenMenu::kNone;
};

// Writes the picture as a PNG file (replaced whole or not at all). Throws
// Failure when the audio does not fit the plug-in or the file cannot be
// written.
void WriteEditorScreenshot(const ScreenshotRequest& request, const std::filesystem::path& png, Progress& progress);

}  // namespace ombrix::cli
