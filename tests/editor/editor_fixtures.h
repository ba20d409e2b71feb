#pragma once
// Helpers for editor tests: parameters in a plain array that record every
// gesture, off-screen rendering of controls onto the 640 x 400 canvas, and
// synthetic mouse events in canvas coordinates.
#include <array>
#include <vector>

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include "core/parameter_table.h"
#include "editor/text_style.h"
#include "plugin/editor_callables.h"

namespace ombrix::test {

class FakeParameters {
 public:
  struct Edit {
    enum class Kind { Begin, Set, End } kind;
    int index;
    double value;
    bool operator==(const Edit&) const = default;
  };

  FakeParameters();
  double& operator[](int index) { return values_.at(static_cast<std::size_t>(index)); }
  ParameterCallables Callables();
  const std::vector<Edit>& Edits() const { return edits_; }
  // True when the edits of one parameter form whole gestures: each Set lies
  // between a Begin and an End of the same parameter.
  bool EditsAreGestures(int index) const;

 private:
  std::array<double, kNumParams> values_{};
  std::vector<Edit> edits_;
};

// Renders a control as it sits on the canvas into an image of the whole
// canvas at a draw scale, over a background colour.
juce::Image RenderOnCanvas(juce::Component& control, float scale, juce::Colour background);
// The pixel under a canvas point.
juce::Colour PixelAt(const juce::Image& image, float canvasX, float canvasY, float scale);

// The brightest pixel in a canvas rectangle: the core of the text drawn there.
juce::Colour BrightestIn(const juce::Image& image, juce::Rectangle<float> canvasBox, float scale);

// Passes when each channel, alpha included, is within tolerance.
::testing::AssertionResult ColourNear(juce::Colour actual, juce::Colour expected, int tolerance = 2);

// A mouse event for a control, at a point in canvas coordinates.
juce::MouseEvent MouseAt(juce::Component& control, juce::Point<float> canvasPoint, int clicks = 1,
                         juce::ModifierKeys modifiers = juce::ModifierKeys::leftButtonModifier);

// Holds the editor's typefaces for a test's lifetime.
struct EditorFontsHeld {
  juce::SharedResourcePointer<tonal_panel::EditorTypefaces> typefaces;
};

}  // namespace ombrix::test
