#include "plugin/editor_size.h"

#include <algorithm>
#include <cmath>

namespace ombrix {

bool ConstrainEditorResize(int& w, int& h, float q) {
  int maxWidth = 1280, maxHeight = 800;
  if (q > 1.0f) {
    maxWidth = static_cast<int>(std::lround(1280.0 * q));
    maxHeight = static_cast<int>(std::lround(800.0 * q));
  }
  const bool acceptable = w >= 480 && w <= maxWidth && h >= 300 && h <= maxHeight;
  const int originalW = w, originalH = h;
  w = std::clamp(w, 480, maxWidth);
  h = std::clamp(h, 300, maxHeight);
  if (static_cast<double>(w) / h > 1.6)
    w = static_cast<int>(std::lround(1.6 * h));
  else
    h = static_cast<int>(std::lround(w / 1.6));
  return acceptable && w == originalW && h == originalH;
}

float DrawScaleFor(int w, int h, float q) {
  if (!(q > 0.0f)) q = 1.0f;
  return std::min(h / (q * 400.0f), w / (q * 640.0f));
}

EditorSize SizeForWindowScale(float scale, float q) {
  EditorSize size{static_cast<int>(std::lround(640.0 * scale)), static_cast<int>(std::lround(400.0 * scale))};
  ConstrainEditorResize(size.width, size.height, q);
  return size;
}

}  // namespace ombrix
