#pragma once
// A rotary knob for one continuous parameter: a faint ring over the whole
// travel (-135° to +135°), the value arc in the accent from the start of the
// travel, and a dark knob with a pointer. Vertical drag (a full turn over
// four knob heights), mouse wheel and double-click to the default; every
// change reaches the host inside a gesture. Follows host changes on the idle
// tick without sending anything back.
//
// It is a juce::Slider (for its drag, wheel and reset handling) and so not a
// CanvasControl: it draws in its own coordinates, which at the canvas scale
// are the canvas pixels of its 32 x 32 box.
#include <juce_gui_basics/juce_gui_basics.h>

#include "editor/tick_follower.h"
#include "plugin/editor_callables.h"

namespace tonal_panel {

// The knob's look, fixed at build time.
struct KnobStyle {
  juce::Colour knob = juce::Colour(19, 19, 19);
  juce::Colour knobPressed = juce::Colour(34, 34, 34);
  juce::Colour pointer;  // the frame colour (Text)
  juce::Colour accent;   // the value arc
  juce::Colour track;    // the ring under the arc
  float widgetFraction = 0.92f;
  float trackWidth = 2.0f;
};

class RingKnobControl final : public juce::Slider, public TickFollower {
 public:
  // Pixels of vertical drag for the whole range: the gearing times the
  // knob's height.
  static constexpr float kGearing = 4.0f;

  RingKnobControl(ombrix::ParameterCallables parameters, int index, KnobStyle style);

  // TickFollower
  void Follow() override;

  // juce::Component
  void paint(juce::Graphics& g) override;
  void resized() override;

 private:
  void SendValue();

  ombrix::ParameterCallables parameters_;
  int index_;
  KnobStyle style_;
  bool inGesture_ = false;
  juce::Path track_;  // built when the size changes
};

}  // namespace tonal_panel
