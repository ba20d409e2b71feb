#include "plugin/editor_size.h"

#include <algorithm>
#include <cmath>

namespace ombrix {
namespace {

constexpr int kMinWidth = 480, kMinHeight = 300;
constexpr int kMaxWidth = 1280, kMaxHeight = 800;
constexpr double kAspect = 1.6;

}  // namespace

bool ConstrainEditorResize(int& w, int& h, float q) {
  int maxWidth = kMaxWidth, maxHeight = kMaxHeight;
  if (q > 1.0f) {
    maxWidth = static_cast<int>(std::lround(static_cast<double>(kMaxWidth) * q));
    maxHeight = static_cast<int>(std::lround(static_cast<double>(kMaxHeight) * q));
  }
  const bool acceptable = w >= kMinWidth && w <= maxWidth && h >= kMinHeight && h <= maxHeight;
  const int originalW = w, originalH = h;
  w = std::clamp(w, kMinWidth, maxWidth);
  h = std::clamp(h, kMinHeight, maxHeight);
  if (static_cast<double>(w) / h > kAspect)
    w = static_cast<int>(std::lround(kAspect * h));
  else
    h = static_cast<int>(std::lround(w / kAspect));
  return acceptable && w == originalW && h == originalH;
}

float DrawScaleFor(int w, int h, float q) {
  if (!(q > 0.0f)) q = 1.0f;
  return std::min(h / (q * kCanvasHeight), w / (q * kCanvasWidth));
}

EditorSize SizeForWindowScale(float scale, float q) {
  EditorSize size{static_cast<int>(std::lround(static_cast<double>(kCanvasWidth) * scale)),
                  static_cast<int>(std::lround(static_cast<double>(kCanvasHeight) * scale))};
  ConstrainEditorResize(size.width, size.height, q);
  return size;
}

}  // namespace ombrix
