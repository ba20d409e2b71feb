#pragma once
// The legend above the spectrum, right-aligned: a swatch and a label for each
// curve shown ("INPUT", "TARGET", and while correcting "OUTPUT" and
// "CORRECTION"). Reads whether correction is active through a callable;
// ignores the mouse; repaints when that changes.
#include <array>
#include <functional>
#include <vector>

#include "editor/canvas_control.h"
#include "editor/tick_follower.h"
#include "editor/text_style.h"

namespace tonal_panel {

class LegendControl final : public CanvasControl, public TickFollower {
 public:
  LegendControl(juce::Colour accent, std::function<bool()> correcting);

  // The left edge of each item's swatch for the current state, on the canvas.
  std::vector<float> ItemLefts(bool correcting) const;

  // TickFollower
  void Follow() override;

 protected:
  void Draw(juce::Graphics& g) override;

 private:
  enum Item { kInput, kTarget, kOutput, kCorrection };
  void DrawSwatch(juce::Graphics& g, int item, float x, float cy) const;

  TextStyle style_ = text_styles::Legend();
  juce::Colour accent_;
  std::function<bool()> correcting_;
  std::array<float, 4> widths_{};  // the labels, measured once
  bool drawnCorrecting_ = false;
};

}  // namespace tonal_panel
