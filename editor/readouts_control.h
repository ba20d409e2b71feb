#pragma once
// The five readouts above the knobs: how far the input's tilt and its four
// bands are from the target, each as a value with its unit and a deviation
// bar. Amber beyond the tolerance; a band the correction holds (weight 0.5
// or less) is dimmed and shows "HELD" instead of its bar; without a valid
// measurement every column shows "–". Reads the readouts snapshot through a
// callable; ignores the mouse; repaints when what it shows changed.
#include <array>
#include <functional>

#include "dsp/correction_engine.h"
#include "editor/canvas_control.h"
#include "editor/tick_follower.h"
#include "editor/palette.h"
#include "editor/text_style.h"

namespace tonal_panel {

class ReadoutsControl final : public CanvasControl, public TickFollower, public juce::SettableTooltipClient {
 public:
  static constexpr std::array<float, 5> kColumnCentres{149.0f, 223.0f, 297.0f, 371.0f, 445.0f};

  ReadoutsControl(const Palette& palette, std::function<ombrix::dsp::Readouts()> readouts);

  // How a column shows, for tests and drawing alike.
  struct Column {
    bool valid = false;
    bool out = false;   // beyond the tolerance
    bool held = false;  // a band the correction holds
    juce::Colour colour;
    juce::String number;        // "–" when not valid
    float barHalfWidth = 0.0f;  // signed: negative to the left of the centre
  };
  Column ColumnOf(const ombrix::dsp::Readouts& r, int k) const;

  // TickFollower
  void Follow() override;

 protected:
  void Draw(juce::Graphics& g) override;

 private:
  void DrawColumn(juce::Graphics& g, int k, const Column& column) const;
  // What a column shows, to tell whether a repaint would change anything.
  juce::String Appearance(const ombrix::dsp::Readouts& r, int k) const;
  // A column's rectangle in the control's own coordinates.
  juce::Rectangle<int> ColumnArea(int k) const;

  std::function<ombrix::dsp::Readouts()> readouts_;
  Palette palette_;
  TextStyle titleStyle_ = text_styles::ReadoutTitle();
  TextStyle valueStyle_ = text_styles::ReadoutValue();
  TextStyle unitStyle_ = text_styles::ReadoutUnit();
  TextStyle badgeStyle_;
  // Fixed texts measured once.
  std::array<float, 2> unitWidth_{};  // " dB/oct", " dB"
  float badgeHalfWidth_ = 0.0f;
  std::array<juce::String, 5> drawn_;
};

}  // namespace tonal_panel
