#pragma once
// A plain filled rectangle: the window background, the content card, the
// divider and the shading panels. A shading panel lets the mouse through to
// the controls it dims.
#include "editor/canvas_control.h"
#include "editor/layout.h"

namespace tonal_panel {

class PanelControl final : public CanvasControl {
 public:
  PanelControl(juce::Colour colour, ShadeGroup shade = ShadeGroup::None);
  ShadeGroup Shade() const { return shade_; }

 protected:
  void Draw(juce::Graphics& g) override;

 private:
  juce::Colour colour_;
  ShadeGroup shade_;
};

}  // namespace tonal_panel
