#include "tests/editor/editor_fixtures.h"

#include <cstdlib>

namespace ombrix::test {

FakeParameters::FakeParameters() {
  for (int i = 0; i < kNumParams; ++i) values_[static_cast<std::size_t>(i)] = Param(i).defaultValue;
}

ParameterCallables FakeParameters::Callables() {
  ParameterCallables c;
  c.value = [this](int index) { return (*this)[index]; };
  c.beginGesture = [this](int index) { edits_.push_back({Edit::Kind::Begin, index, 0.0}); };
  c.setDuringGesture = [this](int index, double value) {
    const ParamSpec& p = Param(index);
    value = std::clamp(value, p.minValue, p.maxValue);
    (*this)[index] = value;
    edits_.push_back({Edit::Kind::Set, index, value});
  };
  c.endGesture = [this](int index) { edits_.push_back({Edit::Kind::End, index, 0.0}); };
  return c;
}

bool FakeParameters::EditsAreGestures(int index) const {
  bool open = false, sawSet = false;
  for (const Edit& e : edits_) {
    if (e.index != index) continue;
    switch (e.kind) {
      case Edit::Kind::Begin:
        if (open) return false;
        open = true;
        break;
      case Edit::Kind::Set:
        if (!open) return false;
        sawSet = true;
        break;
      case Edit::Kind::End:
        if (!open) return false;
        open = false;
        break;
    }
  }
  return !open && sawSet;
}

juce::Image RenderOnCanvas(juce::Component& control, float scale, juce::Colour background) {
  juce::Image image(juce::Image::ARGB, static_cast<int>(std::lround(640 * scale)),
                    static_cast<int>(std::lround(400 * scale)), true);
  juce::Graphics g(image);
  g.fillAll(background);
  g.addTransform(juce::AffineTransform::scale(scale));
  g.setOrigin(control.getPosition());
  control.paintEntireComponent(g, true);
  return image;
}

juce::Colour PixelAt(const juce::Image& image, float canvasX, float canvasY, float scale) {
  return image.getPixelAt(static_cast<int>(std::floor(canvasX * scale)), static_cast<int>(std::floor(canvasY * scale)));
}

juce::Colour BrightestIn(const juce::Image& image, juce::Rectangle<float> canvasBox, float scale) {
  const juce::Rectangle<int> box = (canvasBox * scale).getSmallestIntegerContainer();
  juce::Colour brightest = image.getPixelAt(box.getX(), box.getY());
  const auto sum = [](juce::Colour c) { return c.getRed() + c.getGreen() + c.getBlue(); };
  for (int y = box.getY(); y < box.getBottom(); ++y)
    for (int x = box.getX(); x < box.getRight(); ++x)
      if (sum(image.getPixelAt(x, y)) > sum(brightest)) brightest = image.getPixelAt(x, y);
  return brightest;
}

::testing::AssertionResult ColourNear(juce::Colour actual, juce::Colour expected, int tolerance) {
  const auto near = [tolerance](int a, int b) { return std::abs(a - b) <= tolerance; };
  if (near(actual.getAlpha(), expected.getAlpha()) && near(actual.getRed(), expected.getRed()) &&
      near(actual.getGreen(), expected.getGreen()) && near(actual.getBlue(), expected.getBlue()))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "colour " << actual.toDisplayString(true) << " is not near "
                                       << expected.toDisplayString(true);
}

juce::MouseEvent MouseAt(juce::Component& control, juce::Point<float> canvasPoint, int clicks,
                         juce::ModifierKeys modifiers) {
  const juce::Point<float> local = canvasPoint - control.getPosition().toFloat();
  const juce::Time now = juce::Time::getCurrentTime();
  return juce::MouseEvent(juce::Desktop::getInstance().getMainMouseSource(), local, modifiers,
                          juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation,
                          juce::MouseInputSource::defaultRotation, juce::MouseInputSource::defaultTiltX,
                          juce::MouseInputSource::defaultTiltY, &control, &control, now, local, now, clicks, false);
}

}  // namespace ombrix::test
