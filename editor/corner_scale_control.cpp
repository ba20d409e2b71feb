#include "editor/corner_scale_control.h"

#include <algorithm>
#include <cmath>

#include "editor/palette.h"

namespace tonal_panel {

CornerScaleControl::CornerScaleControl(std::function<float()> drawScale, std::function<void(float)> resizeToDrawScale)
    : drawScale_(std::move(drawScale)),
      resizeToDrawScale_(std::move(resizeToDrawScale)),
      idle_(Argb(36, 250, 250, 250)),
      hover_(Argb(90, 250, 250, 250)) {
  setMouseCursor(juce::MouseCursor::BottomRightCornerResizeCursor);
}

void CornerScaleControl::Draw(juce::Graphics& g) {
  const juce::Rectangle<float> b = Box();
  juce::Path triangle;
  triangle.addTriangle(b.getX(), b.getBottom(), b.getRight(), b.getY(), b.getRight(), b.getBottom());
  g.setColour(isMouseOver() ? hover_ : idle_);
  g.fillPath(triangle);
}

void CornerScaleControl::mouseDown(const juce::MouseEvent& e) {
  dragStartWidth_ = static_cast<int>(kBaseWidth * drawScale_());
  accumulatedDrag_ = 0.0f;
  lastScreenPosition_ = localPointToGlobal(e.position);
}

void CornerScaleControl::mouseDrag(const juce::MouseEvent& e) {
  // Movements are measured on the screen: the canvas under the mouse changes
  // scale while the corner is dragged. A screen pixel is a canvas pixel times
  // the draw scale.
  const juce::Point<float> screen = localPointToGlobal(e.position);
  const juce::Point<float> delta = screen - lastScreenPosition_;
  lastScreenPosition_ = screen;
  accumulatedDrag_ += std::max(delta.x, delta.y);
  const float scale = std::clamp((dragStartWidth_ + accumulatedDrag_) / kBaseWidth, kMinScale, kMaxScale);
  if (scale != drawScale_()) resizeToDrawScale_(scale);
}

void CornerScaleControl::mouseDoubleClick(const juce::MouseEvent&) { resizeToDrawScale_(1.0f); }

void CornerScaleControl::mouseEnter(const juce::MouseEvent&) { repaint(); }

void CornerScaleControl::mouseExit(const juce::MouseEvent&) { repaint(); }

}  // namespace tonal_panel
