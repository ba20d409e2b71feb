#pragma once
// The plot in the middle of the editor. On a logarithmic axis from 20 Hz to
// 20 kHz it shows the target as a tolerance band, the input as a filled area
// and a line (the places where it leaves the band filled in the complement
// colour), the output as a dashed line, "NO SIGNAL" while no input comes, the
// correction curve on its own scale in the lower third, and the three
// crossovers as markers that can be dragged or typed.
//
// Reads: the SpectrumView the idle tick rebuilt, and the three crossover
// parameters. Writes: the crossover parameters, every edit one host gesture
// (a drag from mouse down to mouse up, or a typed value).
//
// Message thread only. Drawing refills paths kept as members, so a repaint
// allocates nothing per grid point; texts are laid out once (the crossover
// labels again only when their value changes). Non-finite levels are drawn as
// empty (-300 dB), non-finite corrections as 0 dB.
#include <array>
#include <functional>
#include <string>

#include "core/frequency_grid.h"
#include "dsp/editor_snapshot.h"
#include "editor/canvas_control.h"
#include "editor/palette.h"
#include "editor/tick_follower.h"
#include "editor/text_entry.h"
#include "editor/text_style.h"
#include "plugin/editor_callables.h"

namespace tonal_panel {

// The level at the plot's top edge that keeps the target's tolerance band
// (target ± max(spread, 3) over the valid points from 30 Hz to 16 kHz) in
// the 48 dB window: centred when it spans at most 42 dB, else with its top
// 3 dB below the edge. previous when no point qualifies.
double AutoTopLevel(const ombrix::dsp::SpectrumView& view, double previous);

// A crossover marker's text: "800", "2.5k", "2k", "12k".
std::string CrossoverLabel(double hz);

// What a view draws, reduced to what can be seen: the window's top level,
// the flags, the valid extent and every curve's points in quarter pixels.
// Two views with the same appearance draw the same picture.
struct SpectrumAppearance {
  static constexpr std::size_t kCurves = 6;  // band top and bottom, fast input, input, output, correction
  double topLevel = 0.0;
  bool inputValid = false, outputValid = false, correcting = false, frozen = false;
  std::size_t lastValid = 0;
  std::array<std::int32_t, kCurves * ombrix::dsp::kGridPoints> quarterPixels{};
  bool operator==(const SpectrumAppearance&) const = default;
  // The same but for where the curves lie.
  bool SameFrameAs(const SpectrumAppearance& o) const {
    return topLevel == o.topLevel && inputValid == o.inputValid && outputValid == o.outputValid &&
           correcting == o.correcting && frozen == o.frozen && lastValid == o.lastValid;
  }
};

class SpectrumControl final : public CanvasControl, public TickFollower {
 public:
  using ViewSource = std::function<const ombrix::dsp::SpectrumView&()>;
  static constexpr int kNoMarker = -1;
  static constexpr double kInitialTopLevel = 24.0;

  // crossoverParams: the Low, Mid and High crossover parameters, in that order.
  SpectrumControl(std::array<int, 3> crossoverParams, const Palette& palette, const TextStyle& labelStyle,
                  ViewSource view, ombrix::ParameterCallables parameters, TextEntry& textEntry);

  // The crossover marker (0 Low, 1 Mid, 2 High) nearest to canvas x and less
  // than 10 pixels from it, or kNoMarker; ties keep the lower index.
  int GetValIdxForPos(float x, float y) const;

  double TopLevel() const { return topLevel_; }
  int HoverIndex() const { return hover_; }
  int DragIndex() const { return drag_; }

  // How a view would look in this control with the window at a top level.
  SpectrumAppearance AppearanceOf(const ombrix::dsp::SpectrumView& view, double topLevel) const;

  // TickFollower: called every idle tick; repaints only when what the view
  // shows moved by a quarter pixel or more, or a crossover changed, since the
  // last repaint it asked for, and for moving curves alone at most every
  // other tick.
  void Follow() override;

  // Where a level (dB) lies at the current top level, in canvas
  // coordinates: for a scale drawn beside the display.
  float YOfLevel(double db) const;

  // juce::Component
  void resized() override;
  void mouseDown(const juce::MouseEvent& e) override;
  void mouseDrag(const juce::MouseEvent& e) override;
  void mouseUp(const juce::MouseEvent& e) override;
  void mouseDoubleClick(const juce::MouseEvent& e) override;
  void mouseEnter(const juce::MouseEvent& e) override;
  void mouseMove(const juce::MouseEvent& e) override;
  void mouseExit(const juce::MouseEvent& e) override;

 protected:
  void Draw(juce::Graphics& g) override;

 private:
  using Points = std::array<juce::Point<float>, ombrix::dsp::kGridPoints>;

  // A text laid out once in a box whose top left is the origin.
  struct LaidOutText {
    juce::GlyphArrangement glyphs;
    float width = 0.0f;  // of the text itself
  };
  struct MarkerLabel {
    double hz = -1.0;  // the value the label was laid out for
    LaidOutText text;
  };

  const ombrix::dsp::SpectrumView& View() const;
  double Crossover(int marker) const;
  float XOfFrequency(double hz) const;
  LaidOutText LayOut(const juce::String& text, juce::Rectangle<float> box, juce::Justification justification) const;
  void Hover(int marker);

  void DrawGrid(juce::Graphics& g);
  void DrawBand(juce::Graphics& g, const ombrix::dsp::SpectrumView& view, std::size_t last);
  void DrawInput(juce::Graphics& g, const ombrix::dsp::SpectrumView& view, std::size_t last);
  void DrawOutput(juce::Graphics& g, const ombrix::dsp::SpectrumView& view, std::size_t last);
  void DrawCorrection(juce::Graphics& g, const ombrix::dsp::SpectrumView& view, std::size_t last);
  void DrawMarkers(juce::Graphics& g);
  void Stroke(juce::Graphics& g, const juce::Path& path, float width);

  const std::array<int, 3> params_;
  const Palette palette_;
  const TextStyle labelStyle_;
  const juce::Font labelFont_;
  const ViewSource view_;
  const ombrix::ParameterCallables parameters_;
  TextEntry& textEntry_;

  int drag_ = kNoMarker;
  int hover_ = kNoMarker;
  double topLevel_ = kInitialTopLevel;

  // What the last repaint request showed.
  SpectrumAppearance requested_{};
  std::array<double, 3> requestedCrossovers_{};
  bool requestedOnce_ = false;
  int ticksSinceRepaint_ = 0;

  // Fixed for the control's rectangle (set in resized()).
  std::array<float, ombrix::dsp::kGridPoints> gridX_{};
  std::array<float, 8> gridLineX_{};
  std::array<LaidOutText, 3> frequencyLabels_;
  std::array<juce::Point<float>, 3> frequencyLabelAt_;
  LaidOutText noSignal_;
  LaidOutText pillZero_;
  LaidOutText pillFrozen_;
  std::array<MarkerLabel, 3> markerLabels_;

  // Storage reused by every paint.
  Points upper_{}, lower_{}, curve_{};
  juce::RectangleList<float> lines_;
  juce::Path fill_;
  juce::Path line_;
  juce::Path stroked_;
};

}  // namespace tonal_panel
