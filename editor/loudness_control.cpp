#include "editor/loudness_control.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "library/format_db.h"

namespace tonal_panel {
namespace {

using kestrune::controls::FormatDb;
using kestrune::controls::kSilenceFloorDb;

constexpr double kMeterLow = -30.0;  // LUFS at the bar's left end
constexpr double kMeterSpan = 24.0;  // up to -6 at the right end
constexpr std::array<double, 3> kScaleMarks{-30.0, -18.0, -6.0};
constexpr double kPeakWarning = -1.0;  // dBTP
// The lines under the status and under the peak caption end here.
constexpr float kProgrammeBottom = 124.0f;
constexpr float kRatioBottom = 272.0f;

juce::String Utf8(const std::string& s) { return juce::String::fromUTF8(s.c_str()); }

juce::Rectangle<float> Ltrb(float l, float t, float r, float b) {
  return juce::Rectangle<float>::leftTopRightBottom(l, t, r, b);
}

juce::String Caption(const ombrix::dsp::LoudnessReading& r) {
  if (!r.integratedMode) return "SHORT-TERM";
  const double seconds = std::isfinite(r.integratedSeconds) ? std::max(0.0, r.integratedSeconds) : 0.0;
  const long s = static_cast<long>(std::min(seconds, 1e9));
  char text[64];
  if (s < 3600)
    std::snprintf(text, sizeof text, "INTEGRATED · %ld:%02ld", s / 60, s % 60);
  else
    std::snprintf(text, sizeof text, "INTEGRATED · %ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  return Utf8(text);
}

juce::String Status(bool silent, double d) {
  if (silent) return "no signal";
  if (std::abs(d) < 0.05) return "on target";
  char text[64];
  std::snprintf(text, sizeof text, "%.1f LU %s target", std::abs(d), d > 0.0 ? "above" : "below");
  return text;
}

// "–" for nothing measured.
std::string Figure(double value) { return value > kSilenceFloorDb ? FormatDb(value, false, false) : "–"; }

juce::String Programme(const ombrix::dsp::LoudnessReading& r) {
  return Utf8("LRA " + Figure(r.loudnessRange) + " · M max " + Figure(r.maxMomentary));
}

juce::String Ratio(const ombrix::dsp::LoudnessReading& r) {
  if (!r.integratedMode) return {};
  return Utf8("PLR " + Figure(ombrix::dsp::PeakToLoudnessRatio(r.truePeakSinceReset, r.integrated)) + " LU");
}

}  // namespace

TextStyle LoudnessControl::SmallLabelStyle() {
  return {FontFace::Regular, 10.0f, text_styles::kColours.textDim, kCenter};
}
TextStyle LoudnessControl::BigNumberStyle() {
  return {FontFace::CondensedBold, 40.0f, text_styles::kColours.text, kCenter};
}
TextStyle LoudnessControl::StatusStyle() { return {FontFace::Regular, 11.0f, text_styles::kColours.textDim, kCenter}; }
TextStyle LoudnessControl::ScaleStyle() { return {FontFace::Regular, 9.0f, text_styles::kColours.textFaint, kCenter}; }

LoudnessControl::LoudnessControl(const Palette& palette, std::function<ombrix::dsp::LoudnessReading()> reading,
                                 std::function<void()> click, std::function<void()> doubleClick)
    : palette_(palette), reading_(std::move(reading)), click_(std::move(click)), doubleClick_(std::move(doubleClick)) {
  setMouseCursor(juce::MouseCursor::PointingHandCursor);
  setOpaque(true);
}

LoudnessControl::View LoudnessControl::ViewOf(const ombrix::dsp::LoudnessReading& r) {
  View v;
  v.shown = r.integratedMode ? r.integrated : r.shortTerm;
  v.tolerance = r.integratedMode ? 1.0 : 2.0;
  v.silent = !(v.shown > kSilenceFloorDb);
  const double d = v.shown - r.target;
  v.off = !v.silent && std::abs(d) > v.tolerance;
  v.caption = Caption(r);
  v.value = Utf8(FormatDb(v.shown, false, false));
  v.status = Status(v.silent, d);
  v.peak = r.integratedMode ? r.truePeakSinceReset : r.truePeakRecent;
  v.peakHigh = v.peak > kPeakWarning;
  v.peakValue = Utf8(FormatDb(v.peak, true, false));
  v.peakCaption = Utf8(r.integratedMode ? "dBTP · since reset" : v.peakHigh ? "dBTP · above −1" : "dBTP · last 3 s");
  v.programme = Programme(r);
  v.ratio = Ratio(r);
  return v;
}

bool LoudnessControl::IsHit(juce::Point<float> p) const {
  const juce::Rectangle<float> b = Box();
  return p.x >= b.getX() && p.x <= b.getRight() && p.y >= b.getY() && p.y <= b.getY() + kReadoutHeight;
}

void LoudnessControl::mouseDown(const juce::MouseEvent& e) {
  // The second press of a double click belongs to mouseDoubleClick.
  if (!e.mods.isLeftButtonDown() || e.getNumberOfClicks() > 1) return;
  if (click_) click_();
  repaint();
}

void LoudnessControl::mouseDoubleClick(const juce::MouseEvent&) {
  if (doubleClick_) doubleClick_();
  repaint();
}

void LoudnessControl::mouseEnter(const juce::MouseEvent&) {
  hovered_ = true;
  repaint();
}

void LoudnessControl::mouseExit(const juce::MouseEvent&) {
  hovered_ = false;
  repaint();
}

juce::String LoudnessControl::LoudnessAppearance(const ombrix::dsp::LoudnessReading& r, const View& v) {
  // The bar's ends to an eighth of a pixel (the meter spans 110 pixels over
  // 24 LU): finer moves cannot be seen.
  const auto eighths = [](double value) { return static_cast<int>(std::lround(value * 8.0 * 110.0 / kMeterSpan)); };
  juce::String key;
  key << v.caption << '|' << v.value << '|' << v.status << '|' << static_cast<int>(v.off) << static_cast<int>(v.silent)
      << '|' << eighths(std::clamp(v.shown, kMeterLow - 1.0, kMeterLow + kMeterSpan + 1.0)) << '|' << eighths(r.target)
      << '|' << eighths(v.tolerance);
  return key;
}

juce::String LoudnessControl::PeakAppearance(const View& v) {
  juce::String key;
  key << v.peakValue << '|' << v.peakCaption << '|' << static_cast<int>(v.peakHigh) << '|' << v.ratio;
  return key;
}

juce::Rectangle<int> LoudnessControl::LoudnessArea() const {
  const juce::Rectangle<float> b = Box().translated(-static_cast<float>(getX()), -static_cast<float>(getY()));
  return Ltrb(b.getX(), b.getY() - 2.0f, b.getRight(), b.getY() + kProgrammeBottom).getSmallestIntegerContainer();
}

juce::Rectangle<int> LoudnessControl::PeakArea() const {
  const juce::Rectangle<float> b = Box().translated(-static_cast<float>(getX()), -static_cast<float>(getY()));
  return Ltrb(b.getX(), b.getY() + 208.0f, b.getRight(), b.getY() + kRatioBottom).getSmallestIntegerContainer();
}

void LoudnessControl::Follow() {
  const ombrix::dsp::LoudnessReading r = reading_ ? reading_() : ombrix::dsp::LoudnessReading{};
  const View v = ViewOf(r);
  // The two figures are drawn again on their own when they change.
  if (LoudnessAppearance(r, v) != drawnLoudness_) repaint(LoudnessArea());
  if (PeakAppearance(v) != drawnPeak_) repaint(PeakArea());
}

void LoudnessControl::Draw(juce::Graphics& g) {
  const ombrix::dsp::LoudnessReading r = reading_ ? reading_() : ombrix::dsp::LoudnessReading{};
  const View v = ViewOf(r);
  const juce::Rectangle<int> clip = g.getClipBounds().translated(-getX(), -getY());
  if (clip.intersects(LoudnessArea())) drawnLoudness_ = LoudnessAppearance(r, v);
  if (clip.intersects(PeakArea())) drawnPeak_ = PeakAppearance(v);
  g.setColour(fixed_colours::Card());  // it sits on the card: nothing behind it needs painting
  g.fillRect(getBounds().toFloat());
  const juce::Rectangle<float> b = Box();
  const float L = b.getX(), T = b.getY(), R = b.getRight();

  if (hovered_) {
    g.setColour(Argb(10, 250, 250, 250));
    g.fillRoundedRectangle(Ltrb(L, T - 2.0f, R, T + kReadoutHeight), 6.0f);
  }
  DrawCaption(g, v.caption);
  DrawText(g, big_.WithColour(v.off ? palette_.amber : palette_.text), v.value, Ltrb(L, T + 16, R, T + 58));
  DrawText(g, label_, "LUFS", Ltrb(L, T + 58, R, T + 72));
  DrawBar(g, r, v);
  DrawText(g, status_.WithColour(v.off ? palette_.amber : palette_.textDim), v.status, Ltrb(L, T + 100, R, T + 114));
  DrawText(g, programme_, v.programme, Ltrb(L, T + 112, R, T + kProgrammeBottom));
  DrawText(g, label_, "TARGET", Ltrb(L, T + 126, R, T + 140));
  g.setColour(palette_.hairline);
  g.fillRect(Ltrb(L + 2, T + 184, R - 2, T + 185));
  DrawText(g, label_, "TRUE PEAK", Ltrb(L, T + 194, R, T + 208));
  DrawText(g, peakStyle_.WithColour(v.peakHigh ? palette_.coral : palette_.text), v.peakValue,
           Ltrb(L, T + 210, R, T + 240));
  DrawText(g, status_.WithColour(v.peakHigh ? palette_.coral : palette_.textDim), v.peakCaption,
           Ltrb(L, T + 244, R, T + 258));
  if (v.ratio.isNotEmpty()) DrawText(g, status_, v.ratio, Ltrb(L, T + 258, R, T + kRatioBottom));
}

void LoudnessControl::DrawCaption(juce::Graphics& g, const juce::String& caption) {
  if (caption != measuredCaption_) {
    measuredCaption_ = caption;
    captionWidth_ = TextWidth(label_, caption);
  }
  const juce::Rectangle<float> b = Box();
  const float T = b.getY();
  const float G = captionWidth_;
  const float x0 = b.getCentreX() - (G + 12.0f) / 2.0f;
  DrawText(g, label_.WithJustification(kNear), caption, Ltrb(x0, T, x0 + G + 2.0f, T + 14.0f));

  // The swap icon: two arrows, one pointing each way.
  const float x1 = x0 + G + 4.0f;
  const float y = T + 7.0f;
  g.setColour(label_.colour.withAlpha(static_cast<std::uint8_t>(153)));
  g.drawLine(x1, y - 1.5f, x1 + 7.0f, y - 1.5f, 1.0f);
  g.drawLine(x1 + 1.0f, y + 1.5f, x1 + 8.0f, y + 1.5f, 1.0f);
  juce::Path heads;
  heads.addTriangle(x1 + 8.0f, y - 1.5f, x1 + 6.0f, y - 3.5f, x1 + 6.0f, y + 0.5f);
  heads.addTriangle(x1, y + 1.5f, x1 + 2.0f, y - 0.5f, x1 + 2.0f, y + 3.5f);
  g.fillPath(heads);
}

void LoudnessControl::DrawBar(juce::Graphics& g, const ombrix::dsp::LoudnessReading& r, const View& v) const {
  const juce::Rectangle<float> b = Box();
  const float T = b.getY();
  const float xa = b.getX() + 6.0f, xb = b.getX() + 116.0f;
  const auto m = [xa, xb](double value) {
    const double p = std::clamp((value - kMeterLow) / kMeterSpan, 0.0, 1.0);
    return xa + static_cast<float>(p) * (xb - xa);
  };
  g.setColour(palette_.hairline);
  g.fillRoundedRectangle(Ltrb(xa, T + 80, xb, T + 86), 3.0f);
  g.setColour(Argb(31, 250, 250, 250));
  g.fillRect(Ltrb(m(r.target - v.tolerance), T + 80, m(r.target + v.tolerance), T + 86));
  if (!v.silent && m(v.shown) > xa + 1.0f) {
    g.setColour(v.off ? palette_.amber : palette_.accent);
    g.fillRoundedRectangle(Ltrb(xa, T + 80, m(v.shown), T + 86), 3.0f);
  }
  g.setColour(palette_.text);
  g.fillRect(Ltrb(m(r.target) - 1.0f, T + 76, m(r.target) + 1.0f, T + 90));
  static const std::array<juce::String, 3> kScaleTexts{Utf8(FormatDb(kScaleMarks[0], false, true)),
                                                       Utf8(FormatDb(kScaleMarks[1], false, true)),
                                                       Utf8(FormatDb(kScaleMarks[2], false, true))};
  for (std::size_t i = 0; i < kScaleMarks.size(); ++i) {
    const float x = m(kScaleMarks[i]);
    DrawText(g, scale_, kScaleTexts[i], Ltrb(x - 16.0f, T + 89, x + 16.0f, T + 100));
  }
}

}  // namespace tonal_panel
