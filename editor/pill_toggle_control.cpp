#include "editor/pill_toggle_control.h"

#include "core/parameter_table.h"

namespace tonal_panel {

PillToggleControl::PillToggleControl(ombrix::ParameterCallables parameters, int index, std::string offLabel,
                                     std::string onLabel, TextStyle style, float dotScale, juce::Colour accent,
                                     bool inverted)
    : parameters_(std::move(parameters)),
      index_(index),
      background_(Argb(255, 20, 20, 20)),
      outlineUnlit_(Argb(56, 250, 250, 250)),
      outlineLit_(Argb(107, 250, 250, 250)),
      dotLit_(accent),
      dotUnlit_(Argb(56, 250, 250, 250)),
      offLabel_(juce::String::fromUTF8(offLabel.c_str())),
      onLabel_(juce::String::fromUTF8(onLabel.c_str())),
      style_(style),
      dotScale_(dotScale),
      inverted_(inverted) {}

bool PillToggleControl::IsOn() const { return parameters_.value(index_) > 0.5; }

void PillToggleControl::Follow() {
  if (IsOn() != drawnOn_) repaint();
}

void PillToggleControl::mouseDown(const juce::MouseEvent& e) {
  if (!e.mods.isLeftButtonDown()) return;
  ombrix::SetAsGesture(parameters_, index_, IsOn() ? 0.0 : 1.0);
  repaint();
}

void PillToggleControl::Draw(juce::Graphics& g) {
  const juce::Rectangle<float> b = Box();
  const float c = b.getHeight() / 2.0f;
  const bool on = IsOn();
  const bool lit = on != inverted_;
  drawnOn_ = on;

  g.setColour(background_);
  g.fillRoundedRectangle(b, c);
  g.setColour(lit ? outlineLit_ : outlineUnlit_);
  g.drawRoundedRectangle(b.reduced(0.5f), c - 0.5f, 1.0f);

  const float s = 5.0f * dotScale_;
  const float dotLeft = b.getX() + 0.6f * c;
  g.setColour(lit ? dotLit_ : dotUnlit_);
  g.fillEllipse(dotLeft, b.getCentreY() - s / 2.0f, s, s);

  const float labelLeft = dotLeft + s;
  DrawText(g, style_, Label(),
           juce::Rectangle<float>::leftTopRightBottom(labelLeft, b.getY(), b.getRight() - 0.6f * c, b.getBottom()));
}

}  // namespace tonal_panel
