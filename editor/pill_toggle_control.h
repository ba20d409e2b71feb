#pragma once
// A rounded on/off pill for a boolean parameter ("Correct", "Freeze",
// "Bypass"): a dot lit in the accent and a label that may change with the
// state. The bypass pill is inverted: its dot is lit while the plug-in is
// active (parameter off). Reads the parameter; a click toggles it as one
// host gesture. Follows host changes on the idle tick.
#include <string>

#include "editor/canvas_control.h"
#include "editor/tick_follower.h"
#include "editor/text_style.h"
#include "plugin/editor_callables.h"

namespace tonal_panel {

class PillToggleControl final : public CanvasControl, public TickFollower {
 public:
  PillToggleControl(ombrix::ParameterCallables parameters, int index, std::string offLabel, std::string onLabel,
                    TextStyle style, float dotScale, juce::Colour accent, bool inverted);

  bool IsOn() const;
  // The label for the parameter's state.
  juce::String Label() const { return IsOn() ? onLabel_ : offLabel_; }

  // TickFollower
  void Follow() override;

  // juce::Component
  void mouseDown(const juce::MouseEvent& e) override;

 protected:
  void Draw(juce::Graphics& g) override;

 private:
  ombrix::ParameterCallables parameters_;
  int index_;
  juce::Colour background_;
  juce::Colour outlineUnlit_;
  juce::Colour outlineLit_;
  juce::Colour dotLit_;
  juce::Colour dotUnlit_;
  juce::String offLabel_;
  juce::String onLabel_;
  TextStyle style_;
  float dotScale_;
  bool inverted_;
  bool drawnOn_ = false;
};

}  // namespace tonal_panel
