#include "editor/ring_knob_control.h"

#include <algorithm>
#include <cmath>

#include "core/parameter_table.h"

namespace tonal_panel {
namespace {

// JUCE measures angles clockwise from twelve o'clock and wants them positive:
// -135° is 225°, +135° is 495°.
constexpr float kStartAngle = juce::MathConstants<float>::pi * 1.25f;
constexpr float kEndAngle = juce::MathConstants<float>::pi * 2.75f;

juce::NormalisableRange<double> RangeOf(int index) {
  const ombrix::ParamSpec& p = ombrix::Param(index);
  const double step = p.step;
  return juce::NormalisableRange<double>(
      p.minValue, p.maxValue,
      [index](double, double, double normalised) { return ombrix::FromNormalised(index, normalised); },
      [index](double, double, double value) { return ombrix::ToNormalised(index, value); },
      [step, min = p.minValue, max = p.maxValue](double, double, double value) {
        if (step > 0.0) value = min + std::round((value - min) / step) * step;
        return std::clamp(value, min, max);
      });
}

}  // namespace

RingKnobControl::RingKnobControl(ombrix::ParameterCallables parameters, int index, KnobStyle style)
    : juce::Slider(juce::Slider::RotaryVerticalDrag, juce::Slider::NoTextBox),
      parameters_(std::move(parameters)),
      index_(index),
      style_(style) {
  setRotaryParameters(kStartAngle, kEndAngle, true);
  setNormalisableRange(RangeOf(index));
  setDoubleClickReturnValue(true, ombrix::Param(index).defaultValue);
  setScrollWheelEnabled(true);
  setPopupMenuEnabled(false);
  setRepaintsOnMouseActivity(true);  // the hover highlight
  if (parameters_.value) setValue(parameters_.value(index_), juce::dontSendNotification);

  onDragStart = [this] {
    inGesture_ = true;
    parameters_.beginGesture(index_);
  };
  onValueChange = [this] { SendValue(); };
  onDragEnd = [this] {
    if (!inGesture_) return;
    inGesture_ = false;
    parameters_.endGesture(index_);
  };
}

void RingKnobControl::SendValue() {
  // Values only travel inside a gesture; host changes arrive without one.
  if (inGesture_) parameters_.setDuringGesture(index_, getValue());
}

void RingKnobControl::Follow() {
  if (inGesture_) return;
  const double value = parameters_.value(index_);
  if (value != getValue()) setValue(value, juce::dontSendNotification);
}

void RingKnobControl::resized() {
  setMouseDragSensitivity(std::max(1, juce::roundToInt(kGearing * static_cast<float>(getHeight()))));
  const auto centre = getLocalBounds().toFloat().getCentre();
  const float radius = std::min(getWidth(), getHeight()) * style_.widgetFraction / 2.0f - style_.trackWidth / 2.0f;
  track_.clear();
  track_.addCentredArc(centre.x, centre.y, radius, radius, 0.0f, kStartAngle, kEndAngle, true);
}

void RingKnobControl::paint(juce::Graphics& g) {
  const juce::Rectangle<float> bounds = getLocalBounds().toFloat();
  const juce::Point<float> centre = bounds.getCentre();
  const float outer = std::min(bounds.getWidth(), bounds.getHeight()) * style_.widgetFraction / 2.0f;
  const float radius = outer - style_.trackWidth / 2.0f;
  const juce::PathStrokeType stroke(style_.trackWidth, juce::PathStrokeType::curved, juce::PathStrokeType::butt);

  g.setColour(style_.track);
  g.strokePath(track_, stroke);

  const float proportion = static_cast<float>(valueToProportionOfLength(getValue()));
  const float angle = kStartAngle + proportion * (kEndAngle - kStartAngle);
  if (angle > kStartAngle) {
    juce::Path arc;
    arc.addCentredArc(centre.x, centre.y, radius, radius, 0.0f, kStartAngle, angle, true);
    g.setColour(style_.accent);
    g.strokePath(arc, stroke);
  }

  // The knob inside the ring, lighter while held, with its pointer.
  const float knobRadius = outer - style_.trackWidth - 2.5f;
  g.setColour(isMouseButtonDown() ? style_.knobPressed : style_.knob);
  g.fillEllipse(juce::Rectangle<float>(2.0f * knobRadius, 2.0f * knobRadius).withCentre(centre));
  if (isMouseOverOrDragging()) {
    g.setColour(style_.pointer.withAlpha(0.06f));
    g.fillEllipse(juce::Rectangle<float>(2.0f * knobRadius, 2.0f * knobRadius).withCentre(centre));
  }
  const juce::Point<float> direction(std::sin(angle), -std::cos(angle));
  g.setColour(style_.pointer);
  g.drawLine(juce::Line<float>(centre + direction * (knobRadius * 0.35f), centre + direction * (knobRadius - 1.5f)),
             1.5f);
}

}  // namespace tonal_panel
