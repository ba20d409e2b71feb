#pragma once
// The editor window's size rules, free of any window system: the canvas is
// 640 x 400 logical pixels, drawn at a scale, and the window keeps the aspect
// ratio 1.6 between 480 x 300 and 1280 x 800 (times the screen's scale).
// Sizes here are the host's pixels: logical pixels times the screen scale q.
namespace ombrix {

inline constexpr int kCanvasWidth = 640;
inline constexpr int kCanvasHeight = 400;
// The window's limits at screen scale 1, and its aspect ratio.
inline constexpr int kMinEditorWidth = 480, kMinEditorHeight = 300;
inline constexpr int kMaxEditorWidth = 1280, kMaxEditorHeight = 800;
inline constexpr double kEditorAspect = 1.6;

// Clamps w x h into the allowed range at screen scale q and to the aspect
// ratio 1.6. Returns true only when the size needed no change.
bool ConstrainEditorResize(int& w, int& h, float q);

// The draw scale that fits the canvas into w x h at screen scale q.
float DrawScaleFor(int w, int h, float q);

// The size for a window scale chosen by the user (0.75, 1, 1.5, 2 …),
// already constrained at screen scale q.
struct EditorSize {
  int width = kCanvasWidth;
  int height = kCanvasHeight;
};
EditorSize SizeForWindowScale(float scale, float q);

}  // namespace ombrix
