#pragma once
// The base of every control on the editor's 640 x 400 canvas. A control draws
// and hit-tests in canvas coordinates, so the numbers of the layout are used
// as they stand: Box() is the control's rectangle on the canvas (L, T, R, B),
// Draw() paints with the canvas origin, and CanvasPoint() turns a mouse
// position into canvas coordinates. The canvas itself carries the draw scale.
//
// A control that paints a little outside its rectangle (a hover fill above
// it) is placed with a paint margin: the component grows by the margin, while
// Box() and the mouse keep to the rectangle.
#include <juce_gui_basics/juce_gui_basics.h>

namespace tonal_panel {

class CanvasControl : public juce::Component {
 public:
  void PlaceOnCanvas(juce::Rectangle<int> box, int paintMargin = 0) {
    margin_ = paintMargin;
    setBounds(box.expanded(paintMargin));
  }
  juce::Rectangle<float> Box() const { return box_; }
  juce::Point<float> CanvasPoint(const juce::MouseEvent& e) const { return e.position + getPosition().toFloat(); }

  // Whether a canvas point hits the control; the whole rectangle unless a
  // control says otherwise.
  virtual bool IsHit(juce::Point<float> canvasPoint) const { return box_.contains(canvasPoint); }

  // juce::Component
  void paint(juce::Graphics& g) final {
    g.setOrigin(-getPosition());
    Draw(g);
  }
  bool hitTest(int x, int y) override {
    // A control set to let the mouse through (a shading panel) must stay
    // transparent to it, whatever its rectangle says.
    bool self = false, children = false;
    getInterceptsMouseClicks(self, children);
    if (!self) return juce::Component::hitTest(x, y);
    return IsHit(juce::Point<float>(x, y) + getPosition().toFloat());
  }
  void resized() override { box_ = getBounds().reduced(margin_).toFloat(); }

 protected:
  virtual void Draw(juce::Graphics& g) = 0;

 private:
  juce::Rectangle<float> box_;
  int margin_ = 0;
};

}  // namespace tonal_panel
