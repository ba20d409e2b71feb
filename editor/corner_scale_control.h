#pragma once
// The triangle in the bottom-right corner: dragging it scales the whole
// window between 0.75x and 2x (keeping its shape), a double-click returns to
// 1x. Reads the current draw scale and asks for a new one through callables.
#include <functional>

#include "editor/canvas_control.h"

namespace tonal_panel {

class CornerScaleControl final : public CanvasControl {
 public:
  static constexpr float kBaseWidth = 640.0f;
  static constexpr float kMinScale = 0.75f;
  static constexpr float kMaxScale = 2.0f;

  CornerScaleControl(std::function<float()> drawScale, std::function<void(float)> resizeToDrawScale);

  // juce::Component
  void mouseDown(const juce::MouseEvent& e) override;
  void mouseDrag(const juce::MouseEvent& e) override;
  void mouseDoubleClick(const juce::MouseEvent& e) override;
  void mouseEnter(const juce::MouseEvent& e) override;
  void mouseExit(const juce::MouseEvent& e) override;

 protected:
  void Draw(juce::Graphics& g) override;

 private:
  std::function<float()> drawScale_;
  std::function<void(float)> resizeToDrawScale_;
  juce::Colour idle_;
  juce::Colour hover_;
  int dragStartWidth_ = 0;
  float accumulatedDrag_ = 0.0f;
  juce::Point<float> lastScreenPosition_;
};

}  // namespace tonal_panel
