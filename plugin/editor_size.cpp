#include "plugin/editor_size.h"

#include <algorithm>
#include <cmath>

namespace ombrix {

bool ConstrainEditorResize(int& w, int& h, float q) {
  int maxWidth = kMaxEditorWidth, maxHeight = kMaxEditorHeight;
  if (q > 1.0f) {
    maxWidth = static_cast<int>(std::lround(static_cast<double>(kMaxEditorWidth) * q));
    maxHeight = static_cast<int>(std::lround(static_cast<double>(kMaxEditorHeight) * q));
  }
  const bool acceptable = w >= kMinEditorWidth && w <= maxWidth && h >= kMinEditorHeight && h <= maxHeight;
  const int originalW = w, originalH = h;
  w = std::clamp(w, kMinEditorWidth, maxWidth);
  h = std::clamp(h, kMinEditorHeight, maxHeight);
  if (static_cast<double>(w) / h > kEditorAspect)
    w = static_cast<int>(std::lround(kEditorAspect * h));
  else
    h = static_cast<int>(std::lround(w / kEditorAspect));
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
