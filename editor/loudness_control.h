#pragma once
// The loudness column: short-term or integrated loudness against the
// loudness target (a big figure, a bar meter with the tolerance zone, a
// status line, and a line with the loudness range and the loudest momentary
// loudness since the reset) and below the target chip the true peak (in the
// integrated view with the peak-to-loudness ratio under it). A click on the
// loudness readout switches between the short-term and the integrated view;
// a double click keeps the view and resets the meters. The rest of the column
// lets the mouse through (the target chip sits there).
// Reads a LoudnessReading through a callable; writes nothing itself (the
// click actions do). Repaints when what it shows changed.
#include <functional>

#include "dsp/loudness_reading.h"
#include "editor/canvas_control.h"
#include "editor/tick_follower.h"
#include "editor/palette.h"
#include "editor/text_style.h"

namespace tonal_panel {

class LoudnessControl final : public CanvasControl, public TickFollower {
 public:
  // Height of the readout that takes clicks, from the top.
  static constexpr float kReadoutHeight = 118.0f;
  // The hover fill reaches this far above the control.
  static constexpr int kPaintMargin = 2;

  LoudnessControl(const Palette& palette, std::function<ombrix::dsp::LoudnessReading()> reading,
                  std::function<void()> click, std::function<void()> doubleClick);

  // What the panel shows for a reading, for tests and drawing alike.
  struct View {
    double shown = 0.0;      // short-term or integrated
    double tolerance = 2.0;  // LU
    bool silent = true;
    bool off = false;  // beyond the tolerance
    double peak = 0.0;
    bool peakHigh = false;  // above -1 dBTP
    juce::String caption, value, status, peakValue, peakCaption;
    juce::String programme;  // "LRA 6.2 · M max −16.0"
    juce::String ratio;      // "PLR 11.8 LU" in the integrated view, else empty
  };
  static View ViewOf(const ombrix::dsp::LoudnessReading& r);

  // The four styles of the panel.
  static TextStyle SmallLabelStyle();
  static TextStyle BigNumberStyle();
  static TextStyle StatusStyle();
  static TextStyle ScaleStyle();

  bool IsHit(juce::Point<float> canvasPoint) const override;

  // TickFollower
  void Follow() override;

  // juce::Component
  void mouseDown(const juce::MouseEvent& e) override;
  void mouseDoubleClick(const juce::MouseEvent& e) override;
  void mouseEnter(const juce::MouseEvent& e) override;
  void mouseExit(const juce::MouseEvent& e) override;

 protected:
  void Draw(juce::Graphics& g) override;

 private:
  void DrawCaption(juce::Graphics& g, const juce::String& caption);
  void DrawBar(juce::Graphics& g, const ombrix::dsp::LoudnessReading& r, const View& v) const;
  // What the loudness readout and the true peak show, to tell whether a
  // repaint would change anything; and where each sits, in the control's own
  // coordinates.
  static juce::String LoudnessAppearance(const ombrix::dsp::LoudnessReading& r, const View& v);
  static juce::String PeakAppearance(const View& v);
  juce::Rectangle<int> LoudnessArea() const;
  juce::Rectangle<int> PeakArea() const;

  Palette palette_;
  TextStyle label_ = SmallLabelStyle();
  TextStyle big_ = BigNumberStyle();
  TextStyle peakStyle_ = BigNumberStyle().WithSize(28.0f);
  TextStyle status_ = StatusStyle();
  TextStyle programme_ = SmallLabelStyle();
  TextStyle scale_ = ScaleStyle();
  std::function<ombrix::dsp::LoudnessReading()> reading_;
  std::function<void()> click_;
  std::function<void()> doubleClick_;
  // The caption's width, measured when the caption changes.
  bool hovered_ = false;
  juce::String measuredCaption_;
  float captionWidth_ = 0.0f;
  juce::String drawnLoudness_, drawnPeak_;
};

}  // namespace tonal_panel
