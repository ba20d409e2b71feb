#include "editor/frequency_display_control.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/parameter_table.h"
#include "library/typed_number.h"

namespace tonal_panel {
namespace {

using ombrix::dsp::GridFrequency;
using ombrix::dsp::kGridPoints;
using ombrix::dsp::SpectrumView;
using ombrix::dsp::ValidFlags;

constexpr double kWindowDb = 48.0;
constexpr double kMinHalfWidthDb = 3.0;
constexpr double kCorrectionRangeDb = 18.0;  // the plot's height on the correction scale
constexpr float kMarkerReach = 10.0f;
constexpr float kLabelTop = 1.0f;  // below the plot's top edge
constexpr float kLabelHeight = 13.0f;
constexpr float kDottedLineTop = 14.0f;
constexpr float kDot = 2.5f;
constexpr float kRoundEnds = 6.5f;
constexpr double kDashOn = 4.0;
constexpr double kDashOff = 3.0;
constexpr float kEntryWidth = 64.0f;
constexpr float kEntryHeight = 14.0f;
constexpr int kEntryLength = 16;

constexpr std::array<double, 8> kGridLineHz{50, 100, 200, 500, 1000, 2000, 5000, 10000};
constexpr std::array<double, 3> kFrequencyLabelHz{100, 1000, 10000};
constexpr std::array<const char*, 3> kFrequencyLabels{"100", "1k", "10k"};

const juce::Colour kGridLine = Argb(13, 250, 250, 250);
const juce::Colour kInputFastArea = Argb(46, 250, 250, 250);
const juce::Colour kInputLine = Argb(235, 250, 250, 250);
const juce::Colour kOutputLine = Argb(190, 250, 250, 250);
const juce::Colour kZeroLine = Argb(41, 250, 250, 250);
const juce::Colour kGreyPill = Argb(230, 42, 42, 42);
const juce::Colour kGreyPillText = Argb(153, 250, 250, 250);
const juce::Colour kDarkText = Argb(255, 10, 10, 10);
const juce::Colour kCrossoverLine = Argb(82, 250, 250, 250);
const juce::Colour kActiveCrossoverLine = Argb(179, 250, 250, 250);
const juce::Colour kCrossoverLabel = Argb(255, 42, 42, 42);
const juce::Colour kCrossoverLabelText = Argb(217, 250, 250, 250);

// Lines and markers sit on pixel centres.
float Snap(double coordinate) { return static_cast<float>(std::round(coordinate) + 0.5); }

double Level(double db) { return std::isnan(db) ? ombrix::dsp::kEmptyLevelDb : db; }
double HalfWidth(double spread) { return std::isnan(spread) ? kMinHalfWidthDb : std::max(spread, kMinHalfWidthDb); }
double Correction(double db) { return std::isfinite(db) ? std::clamp(db, -kWindowDb, kWindowDb) : 0.0; }

// The grid points from 30 Hz to 16 kHz, which decide the top level.
const std::array<bool, kGridPoints>& TopLevelRange() {
  static const std::array<bool, kGridPoints> range = [] {
    std::array<bool, kGridPoints> r{};
    for (std::size_t i = 0; i < kGridPoints; ++i) r[i] = GridFrequency(i) >= 30.0 && GridFrequency(i) <= 16000.0;
    return r;
  }();
  return range;
}

// The last point of the unbroken run of valid points from point 0 (0 when
// point 0 itself is not valid): every curve stops there.
std::size_t ValidExtent(const ValidFlags& valid) {
  std::size_t last = 0;
  if (!valid[0]) return last;
  while (last + 1 < kGridPoints && valid[last + 1]) ++last;
  return last;
}

}  // namespace

double AutoTopLevel(const SpectrumView& view, double previous) {
  double lo = HUGE_VAL, hi = -HUGE_VAL;
  const std::array<bool, kGridPoints>& range = TopLevelRange();
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    if (!range[i] || !view.valid[i]) continue;
    const double target = view.target[i], half = HalfWidth(view.spread[i]);
    if (!std::isfinite(target) || !std::isfinite(half)) continue;
    lo = std::min(lo, target - half);
    hi = std::max(hi, target + half);
  }
  if (!(hi > lo)) return previous;
  if (hi - lo + 6.0 <= kWindowDb) return (lo + hi) / 2.0 + kWindowDb / 2.0;
  return hi + 3.0;
}

std::string CrossoverLabel(double hz) {
  char text[32];
  if (hz >= 9950.0) {
    std::snprintf(text, sizeof text, "%.0fk", hz / 1000.0);
  } else if (hz >= 1000.0) {
    std::snprintf(text, sizeof text, "%.1fk", hz / 1000.0);
    // "2.0k" reads "2k"; "2.5k" stays.
    const std::size_t length = std::strlen(text);
    if (length > 3 && std::strcmp(text + length - 3, ".0k") == 0) std::strcpy(text + length - 3, "k");
  } else {
    std::snprintf(text, sizeof text, "%.0f", hz);
  }
  return text;
}


SpectrumControl::SpectrumControl(std::array<int, 3> crossoverParams, const Palette& palette,
                                 const TextStyle& labelStyle, ViewSource view, ombrix::ParameterCallables parameters,
                                 TextEntry& textEntry)
    : params_(crossoverParams),
      palette_(palette),
      labelStyle_(labelStyle),
      labelFont_(FontOf(labelStyle)),
      view_(std::move(view)),
      parameters_(std::move(parameters)),
      textEntry_(textEntry) {
  setOpaque(true);  // the card shows at its rounded corners; nothing behind needs painting
  const auto pill = [this](const char* text) {
    const float width = labelFont_.getStringWidthFloat(text);
    return LayOut(text, {0.0f, 0.0f, width + 10.0f, kLabelHeight}, kCenter);
  };
  pillZero_ = pill("0 dB");
  pillFrozen_ = pill("FROZEN");
  // Room for the busiest fills (a closed quadrilateral, 13 path values, on
  // both sides of every segment; about as many dash pieces) and lines, so a
  // paint only refills them.
  fill_.preallocateSpace(2 * 13 * static_cast<int>(kGridPoints));
  line_.preallocateSpace(3 * static_cast<int>(kGridPoints));
  lines_.ensureStorageAllocated(32);
}

const SpectrumView& SpectrumControl::View() const {
  static const SpectrumView kNothing{};
  return view_ ? view_() : kNothing;
}

double SpectrumControl::Crossover(int marker) const {
  const int param = params_[static_cast<std::size_t>(marker)];
  return parameters_.value ? parameters_.value(param) : ombrix::Param(param).defaultValue;
}

float SpectrumControl::XOfFrequency(double hz) const {
  const juce::Rectangle<float> box = Box();
  const double t = std::log(std::max(hz, 1e-9) / 20.0) / std::log(1000.0);
  return static_cast<float>(box.getX() + t * box.getWidth());
}

float SpectrumControl::YOfLevel(double db) const {
  const juce::Rectangle<float> box = Box();
  const double v = std::clamp(Level(db), topLevel_ - 72.0, topLevel_ + 24.0);
  return static_cast<float>(box.getY() + (topLevel_ - v) / kWindowDb * box.getHeight());
}

SpectrumControl::LaidOutText SpectrumControl::LayOut(const juce::String& text, juce::Rectangle<float> box,
                                                     juce::Justification justification) const {
  LaidOutText laidOut;
  laidOut.width = labelFont_.getStringWidthFloat(text);
  laidOut.glyphs.addFittedText(labelFont_, text, box.getX(), box.getY(), box.getWidth(), box.getHeight(), justification,
                               1);
  return laidOut;
}

void SpectrumControl::resized() {
  CanvasControl::resized();
  const juce::Rectangle<float> box = Box();
  for (std::size_t i = 0; i < kGridPoints; ++i) gridX_[i] = XOfFrequency(GridFrequency(i));
  for (std::size_t k = 0; k < kGridLineHz.size(); ++k) gridLineX_[k] = Snap(XOfFrequency(kGridLineHz[k]));
  for (std::size_t k = 0; k < kFrequencyLabelHz.size(); ++k) {
    const float x = XOfFrequency(kFrequencyLabelHz[k]);
    frequencyLabels_[k] = LayOut(kFrequencyLabels[k], {x + 3.0f, box.getBottom() - 14.0f, 37.0f, 11.0f}, kNear);
  }
  const juce::Point<float> centre = box.getCentre();
  noSignal_ = LayOut("NO SIGNAL", {centre.x - 60.0f, centre.y - 7.0f, 120.0f, 14.0f}, kCenter);
}

SpectrumAppearance SpectrumControl::AppearanceOf(const SpectrumView& view, double topLevel) const {
  SpectrumAppearance a;
  a.topLevel = topLevel;
  a.inputValid = view.inputValid;
  a.outputValid = view.inputValid && view.outputValid;
  a.correcting = view.correcting;
  a.frozen = view.frozen;
  a.lastValid = ValidExtent(view.valid);
  const juce::Rectangle<float> box = Box();
  const double top = box.getY(), height = box.getHeight();
  const auto quarters = [](double y) {
    return static_cast<std::int32_t>(std::lround(std::clamp(y, -1.0e6, 1.0e6) * 4.0));
  };
  const auto levelY = [&](double db) {
    const double v = std::clamp(Level(db), topLevel - kWindowDb - 24.0, topLevel + 24.0);
    return quarters(top + (topLevel - v) / kWindowDb * height);
  };
  const double zeroY = Snap(top + 2.0 / 3.0 * height), pixelsPerDb = height / kCorrectionRangeDb;
  constexpr std::size_t n = ombrix::dsp::kGridPoints;
  for (std::size_t i = 0; i <= a.lastValid && i < n; ++i) {
    const double half = HalfWidth(view.spread[i]);
    a.quarterPixels[i] = levelY(Level(view.target[i]) + half);
    a.quarterPixels[n + i] = levelY(Level(view.target[i]) - half);
    if (a.inputValid) {
      a.quarterPixels[2 * n + i] = levelY(view.inputFast[i]);
      a.quarterPixels[3 * n + i] = levelY(view.inputSpectrum[i]);
    }
    if (a.outputValid) a.quarterPixels[4 * n + i] = levelY(view.outputSpectrum[i]);
    if (a.correcting) a.quarterPixels[5 * n + i] = quarters(zeroY - Correction(view.correctionCurve[i]) * pixelsPerDb);
  }
  return a;
}

void SpectrumControl::Follow() {
  const SpectrumView& view = View();
  const std::array<double, 3> crossovers{Crossover(0), Crossover(1), Crossover(2)};
  SpectrumAppearance appearance = AppearanceOf(view, AutoTopLevel(view, topLevel_));
  ++ticksSinceRepaint_;
  if (requestedOnce_ && crossovers == requestedCrossovers_ && appearance == requested_) return;
  // Curves that only moved are redrawn at most every other tick (25 times a
  // second): the input's frames come about 23 times a second, the output's
  // in between, and the eye sees no difference. Anything else shows at once.
  const bool onlyCurvesMoved =
      requestedOnce_ && crossovers == requestedCrossovers_ && appearance.SameFrameAs(requested_);
  if (onlyCurvesMoved && ticksSinceRepaint_ < 2) return;
  ticksSinceRepaint_ = 0;
  requestedOnce_ = true;
  requested_ = std::move(appearance);
  requestedCrossovers_ = crossovers;
  repaint();
}

void SpectrumControl::Draw(juce::Graphics& g) {
  const SpectrumView& view = View();
  topLevel_ = AutoTopLevel(view, topLevel_);
  const juce::Rectangle<float> box = Box();
  g.setColour(fixed_colours::Card());
  g.fillRect(box);
  g.setColour(palette_.ink);
  g.fillRoundedRectangle(box, 3.0f);
  {
    const juce::Graphics::ScopedSaveState unclipped(g);
    g.reduceClipRegion(box.getSmallestIntegerContainer());
    DrawGrid(g);
    g.setColour(palette_.textFaint);
    for (const LaidOutText& label : frequencyLabels_) label.glyphs.draw(g);
    const std::size_t last = ValidExtent(view.valid);
    DrawBand(g, view, last);
    if (view.inputValid) {
      DrawInput(g, view, last);
      if (view.outputValid) DrawOutput(g, view, last);
    } else {
      g.setColour(palette_.textDim);
      noSignal_.glyphs.draw(g);
    }
    if (view.correcting) DrawCorrection(g, view, last);
  }
  DrawMarkers(g);
}

void SpectrumControl::DrawGrid(juce::Graphics& g) {
  const juce::Rectangle<float> box = Box();
  lines_.clear();
  // One line every 6 dB: at most eight in the 48 dB window.
  const double first = std::floor(topLevel_ / 6.0) * 6.0;
  for (int k = 0; k <= 8; ++k) {
    const double v = first - 6.0 * k;
    if (!(v > topLevel_ - kWindowDb)) break;
    lines_.addWithoutMerging({box.getX(), Snap(YOfLevel(v)) - 0.5f, box.getWidth(), 1.0f});
  }
  for (float x : gridLineX_) lines_.addWithoutMerging({x - 0.5f, box.getY(), 1.0f, box.getHeight()});
  g.setColour(kGridLine);
  g.fillRectList(lines_);
}

void SpectrumControl::DrawBand(juce::Graphics& g, const SpectrumView& view, std::size_t last) {
  for (std::size_t i = 0; i <= last; ++i) {
    const double half = HalfWidth(view.spread[i]);
    upper_[i] = {gridX_[i], YOfLevel(Level(view.target[i]) + half)};
    lower_[i] = {gridX_[i], YOfLevel(Level(view.target[i]) - half)};
  }
  fill_.clear();
  fill_.startNewSubPath(upper_[0]);
  for (std::size_t i = 1; i <= last; ++i) fill_.lineTo(upper_[i]);
  for (std::size_t i = last + 1; i-- > 0;) fill_.lineTo(lower_[i]);
  fill_.closeSubPath();
  g.setColour(palette_.accent.withAlpha(static_cast<juce::uint8>(71)));
  g.fillPath(fill_);
}

void SpectrumControl::DrawInput(juce::Graphics& g, const SpectrumView& view, std::size_t last) {
  const juce::Rectangle<float> box = Box();
  fill_.clear();
  fill_.startNewSubPath(box.getX(), box.getBottom());
  for (std::size_t i = 0; i <= last; ++i) fill_.lineTo(gridX_[i], YOfLevel(view.inputFast[i]));
  fill_.lineTo(gridX_[last], box.getBottom());
  fill_.closeSubPath();
  g.setColour(kInputFastArea);
  g.fillPath(fill_);

  // Where the input leaves the band: per segment and side, the part between
  // the input and the band's edge, with the input moved onto the edge where
  // it lies inside.
  fill_.clear();
  for (std::size_t i = 0; i < last; ++i) {
    for (const double side : {1.0, -1.0}) {
      const double edge0 = Level(view.target[i]) + side * HalfWidth(view.spread[i]);
      const double edge1 = Level(view.target[i + 1]) + side * HalfWidth(view.spread[i + 1]);
      const double in0 = Level(view.inputSpectrum[i]), in1 = Level(view.inputSpectrum[i + 1]);
      const bool beyond0 = side > 0 ? in0 > edge0 : in0 < edge0;
      const bool beyond1 = side > 0 ? in1 > edge1 : in1 < edge1;
      if (!beyond0 && !beyond1) continue;
      const double a = side > 0 ? std::max(in0, edge0) : std::min(in0, edge0);
      const double b = side > 0 ? std::max(in1, edge1) : std::min(in1, edge1);
      fill_.startNewSubPath(gridX_[i], YOfLevel(a));
      fill_.lineTo(gridX_[i + 1], YOfLevel(b));
      fill_.lineTo(gridX_[i + 1], YOfLevel(edge1));
      fill_.lineTo(gridX_[i], YOfLevel(edge0));
      fill_.closeSubPath();
    }
  }
  if (!fill_.isEmpty()) {
    g.setColour(palette_.complement.withAlpha(static_cast<juce::uint8>(204)));
    g.fillPath(fill_);
  }

  line_.clear();
  line_.startNewSubPath(gridX_[0], YOfLevel(view.inputSpectrum[0]));
  for (std::size_t i = 1; i <= last; ++i) line_.lineTo(gridX_[i], YOfLevel(view.inputSpectrum[i]));
  g.setColour(kInputLine);
  Stroke(g, line_, 1.5f);
}

void SpectrumControl::DrawOutput(juce::Graphics& g, const SpectrumView& view, std::size_t last) {
  // Dashes of 4 and gaps of 3 pixels measured along the polyline, the pattern
  // running on across its vertices; all dash pieces go into one path.
  fill_.clear();
  for (std::size_t i = 0; i <= last; ++i) curve_[i] = {gridX_[i], YOfLevel(view.outputSpectrum[i])};
  bool dash = true;
  double done = 0.0;  // of the current dash or gap
  for (std::size_t i = 0; i < last; ++i) {
    const double x0 = curve_[i].x, y0 = curve_[i].y;
    const double dx = curve_[i + 1].x - x0, dy = curve_[i + 1].y - y0;
    const double length = std::hypot(dx, dy);
    const double ux = dx / std::max(length, 1e-6), uy = dy / std::max(length, 1e-6);
    double at = 0.0, left = length;
    while (left > 0.0) {
      const double pattern = dash ? kDashOn : kDashOff;
      const double step = std::min(left, pattern - done);
      if (dash) {
        const juce::Point<float> from(static_cast<float>(x0 + ux * at), static_cast<float>(y0 + uy * at));
        const juce::Point<float> to(static_cast<float>(x0 + ux * (at + step)),
                                    static_cast<float>(y0 + uy * (at + step)));
        fill_.addLineSegment({from, to}, 1.4f);
      }
      at += step;
      left -= step;
      done += step;
      if (done >= pattern - 0.001) {
        dash = !dash;
        done = 0.0;
      }
    }
  }
  g.setColour(kOutputLine);
  g.fillPath(fill_);
}

void SpectrumControl::DrawCorrection(juce::Graphics& g, const SpectrumView& view, std::size_t last) {
  const juce::Rectangle<float> box = Box();
  const float zeroY = Snap(box.getY() + 2.0 / 3.0 * box.getHeight());
  const double pixelsPerDb = box.getHeight() / kCorrectionRangeDb;
  const auto yOf = [&](std::size_t i) {
    return static_cast<float>(zeroY - Correction(view.correctionCurve[i]) * pixelsPerDb);
  };
  g.setColour(kZeroLine);
  g.fillRect(juce::Rectangle<float>(box.getX(), zeroY - 0.5f, box.getWidth(), 1.0f));

  fill_.clear();
  fill_.startNewSubPath(gridX_[0], zeroY);
  for (std::size_t i = 0; i <= last; ++i) fill_.lineTo(gridX_[i], yOf(i));
  fill_.lineTo(gridX_[last], zeroY);
  fill_.closeSubPath();
  g.setColour(palette_.accent.withAlpha(static_cast<juce::uint8>(40)));
  g.fillPath(fill_);

  line_.clear();
  line_.startNewSubPath(gridX_[0], yOf(0));
  for (std::size_t i = 1; i <= last; ++i) line_.lineTo(gridX_[i], yOf(i));
  g.setColour(palette_.accent);
  Stroke(g, line_, 2.0f);

  const LaidOutText& text = view.frozen ? pillFrozen_ : pillZero_;
  const float width = text.width + 10.0f;
  const juce::Rectangle<float> pill(box.getRight() - 4.0f - width, zeroY - kRoundEnds, width, 2.0f * kRoundEnds);
  g.setColour(view.frozen ? palette_.accent : kGreyPill);
  g.fillRoundedRectangle(pill, kRoundEnds);
  g.setColour(view.frozen ? kDarkText : kGreyPillText);
  text.glyphs.draw(g, juce::AffineTransform::translation(pill.getX(), pill.getY()));
}

void SpectrumControl::DrawMarkers(juce::Graphics& g) {
  const juce::Rectangle<float> box = Box();
  for (int marker = 0; marker < 3; ++marker) {
    const double hz = Crossover(marker);
    const float x = Snap(XOfFrequency(hz));
    const bool active = marker == hover_ || marker == drag_;

    lines_.clear();
    for (float y = box.getY() + kDottedLineTop; y < box.getBottom(); y += 2.0f * kDot)
      lines_.addWithoutMerging({x - 0.5f, y, 1.0f, std::min(kDot, box.getBottom() - y)});
    g.setColour(active ? kActiveCrossoverLine : kCrossoverLine);
    g.fillRectList(lines_);

    MarkerLabel& label = markerLabels_[static_cast<std::size_t>(marker)];
    if (label.hz != hz) {
      const juce::String text(CrossoverLabel(hz));
      label.hz = hz;
      label.text = LayOut(text, {0.0f, 0.0f, labelFont_.getStringWidthFloat(text) + 10.0f, kLabelHeight}, kCenter);
    }
    const float width = label.text.width + 10.0f;
    const juce::Rectangle<float> labelBox(x - width / 2.0f, box.getY() + kLabelTop, width, kLabelHeight);
    g.setColour(active ? palette_.text : kCrossoverLabel);
    g.fillRoundedRectangle(labelBox, kRoundEnds);
    g.setColour(active ? kDarkText : kCrossoverLabelText);
    label.text.glyphs.draw(g, juce::AffineTransform::translation(labelBox.getX(), labelBox.getY()));
  }
}

void SpectrumControl::Stroke(juce::Graphics& g, const juce::Path& path, float width) {
  juce::PathStrokeType(width).createStrokedPath(stroked_, path, {},
                                                g.getInternalContext().getPhysicalPixelScaleFactor());
  g.fillPath(stroked_);
}

int SpectrumControl::GetValIdxForPos(float x, float) const {
  int nearest = kNoMarker;
  float distance = kMarkerReach;
  for (int marker = 0; marker < 3; ++marker) {
    const float d = std::abs(XOfFrequency(Crossover(marker)) - x);
    if (d < distance) {
      nearest = marker;
      distance = d;
    }
  }
  return nearest;
}

void SpectrumControl::Hover(int marker) {
  if (marker == hover_) return;
  hover_ = marker;
  setMouseCursor(marker == kNoMarker ? juce::MouseCursor::NormalCursor : juce::MouseCursor::LeftRightResizeCursor);
  repaint();
}

void SpectrumControl::mouseDown(const juce::MouseEvent& e) {
  if (!e.mods.isLeftButtonDown()) return;
  const juce::Point<float> p = CanvasPoint(e);
  drag_ = GetValIdxForPos(p.x, p.y);
  if (drag_ != kNoMarker) parameters_.beginGesture(params_[static_cast<std::size_t>(drag_)]);
}

void SpectrumControl::mouseDrag(const juce::MouseEvent& e) {
  if (drag_ == kNoMarker) return;
  const juce::Rectangle<float> box = Box();
  const double t = std::clamp((CanvasPoint(e).x - box.getX()) / static_cast<double>(box.getWidth()), 0.0, 1.0);
  double hz = 20.0 * std::pow(1000.0, t);
  // Neighbouring crossovers stay at least an octave apart.
  if (drag_ > 0) hz = std::max(hz, 2.0 * Crossover(drag_ - 1));
  if (drag_ < 2) hz = std::min(hz, 0.5 * Crossover(drag_ + 1));
  const int param = params_[static_cast<std::size_t>(drag_)];
  const ombrix::ParamSpec& limits = ombrix::Param(param);
  hz = std::clamp(hz, limits.minValue, limits.maxValue);
  if (hz == Crossover(drag_)) return;
  parameters_.setDuringGesture(param, hz);
  repaint();
}

void SpectrumControl::mouseUp(const juce::MouseEvent&) {
  if (drag_ == kNoMarker) return;
  parameters_.endGesture(params_[static_cast<std::size_t>(drag_)]);
  drag_ = kNoMarker;
  repaint();
}

void SpectrumControl::mouseDoubleClick(const juce::MouseEvent& e) {
  const juce::Point<float> p = CanvasPoint(e);
  const int marker = GetValIdxForPos(p.x, p.y);
  if (marker == kNoMarker || textEntry_.IsOpen()) return;
  const int param = params_[static_cast<std::size_t>(marker)];
  const std::string shown = ombrix::FormatParamValue(param, Crossover(marker));
  const juce::Rectangle<float> box = Box();
  const float left =
      std::clamp(Snap(XOfFrequency(Crossover(marker))) - kEntryWidth / 2.0f, box.getX(), box.getRight() - kEntryWidth);
  const juce::Rectangle<float> entryBox(left, box.getY() + kLabelTop, kEntryWidth, kEntryHeight);
  textEntry_.Open(entryBox, labelStyle_, kEntryLength, shown, [this, param, shown](const std::string& typed) {
    if (typed == shown) return;  // left as it was shown: keep the exact value
    const ombrix::ParamSpec& limits = ombrix::Param(param);
    const auto hz = kestrune::controls::ParseTypedNumber(typed, limits.minValue, limits.maxValue, true);
    if (!hz) return;
    ombrix::SetAsGesture(parameters_, param, *hz);
    repaint();
  });
}

void SpectrumControl::mouseEnter(const juce::MouseEvent& e) { mouseMove(e); }

void SpectrumControl::mouseMove(const juce::MouseEvent& e) {
  const juce::Point<float> p = CanvasPoint(e);
  Hover(GetValIdxForPos(p.x, p.y));
}

void SpectrumControl::mouseExit(const juce::MouseEvent&) { Hover(kNoMarker); }

}  // namespace tonal_panel
