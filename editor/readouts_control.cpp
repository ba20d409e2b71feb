#include "editor/readouts_control.h"

#include <algorithm>
#include <cmath>

#include "library/format_db.h"

namespace tonal_panel {
namespace {

constexpr std::array<const char*, 5> kTitles{"TILT", "LOW", "LO-MID", "HI-MID", "HIGH"};
constexpr std::array<double, 5> kTolerance{0.6, 3.0, 3.0, 3.0, 3.0};
constexpr std::array<double, 5> kFullScale{1.5, 6.0, 6.0, 6.0, 6.0};
constexpr float kBarHalfWidth = 28.0f;
constexpr std::uint8_t kHeldAlpha = 96;
const char* const kUnits[2] = {" dB/oct", " dB"};
const char* const kHeld = "HELD";
const char* const kNoValue = "–";  // en dash

juce::Rectangle<float> Ltrb(float l, float t, float r, float b) {
  return juce::Rectangle<float>::leftTopRightBottom(l, t, r, b);
}

}  // namespace

ReadoutsControl::ReadoutsControl(const Palette& palette, std::function<ombrix::dsp::Readouts()> readouts)
    : readouts_(std::move(readouts)), palette_(palette) {
  // The mouse only finds it for its tooltip; it has nothing to click.
  setTooltip(
      "Measured deviation from the target: tilt in dB per octave, each band in dB. While correcting, what is "
      "left after the correction.");
  setOpaque(true);
  badgeStyle_ = unitStyle_.WithSize(8.5f).WithColour(Argb(191, 250, 250, 250));
  for (int i = 0; i < 2; ++i) unitWidth_[i] = TextWidth(unitStyle_, kUnits[i]);
  badgeHalfWidth_ = (TextWidth(badgeStyle_, kHeld) + 14.0f) / 2.0f;
}

ReadoutsControl::Column ReadoutsControl::ColumnOf(const ombrix::dsp::Readouts& r, int k) const {
  Column c;
  const std::size_t i = static_cast<std::size_t>(k);
  const double v = k == 0 ? r.tilt : r.band[i - 1];
  c.valid = r.valid && std::isfinite(v);
  c.out = c.valid && std::abs(v) > kTolerance[i];
  c.held = c.valid && k >= 1 && r.weight[i - 1] <= 0.5;
  c.colour = !c.valid ? palette_.textDim : c.out ? palette_.amber : palette_.text;
  if (c.held) c.colour = c.colour.withAlpha(kHeldAlpha);
  if (!c.valid) {
    c.number = juce::String::fromUTF8(kNoValue);
    return c;
  }
  c.number = juce::String::fromUTF8(kestrune::controls::FormatDb(v, true, false).c_str());
  const float t = static_cast<float>(std::min(std::abs(v) / kFullScale[i], 1.0)) * kBarHalfWidth;
  c.barHalfWidth = v < 0.0 ? -t : t;
  return c;
}

juce::String ReadoutsControl::Appearance(const ombrix::dsp::Readouts& r, int k) const {
  const Column c = ColumnOf(r, k);
  juce::String key;
  // Bars to an eighth of a pixel: finer moves cannot be seen.
  key << c.number << '|' << static_cast<int>(c.colour.getARGB()) << '|' << static_cast<int>(c.held) << '|'
      << static_cast<int>(std::lround(c.barHalfWidth * 8.0f));
  return key;
}

juce::Rectangle<int> ReadoutsControl::ColumnArea(int k) const {
  const float b = kColumnCentres[static_cast<std::size_t>(k)];
  return Ltrb(b - 37.0f, Box().getY(), b + 37.0f, Box().getBottom())
      .translated(-static_cast<float>(getX()), -static_cast<float>(getY()))
      .getSmallestIntegerContainer();
}

void ReadoutsControl::Follow() {
  const ombrix::dsp::Readouts r = readouts_ ? readouts_() : ombrix::dsp::Readouts{};
  // Only the columns whose figures changed are drawn again.
  for (int k = 0; k < 5; ++k)
    if (Appearance(r, k) != drawn_[static_cast<std::size_t>(k)]) repaint(ColumnArea(k));
}

void ReadoutsControl::Draw(juce::Graphics& g) {
  g.setColour(fixed_colours::Card());  // it sits on the card: nothing behind it needs painting
  g.fillRect(Box());
  const ombrix::dsp::Readouts r = readouts_ ? readouts_() : ombrix::dsp::Readouts{};
  const juce::Rectangle<int> clip = g.getClipBounds();
  for (int k = 0; k < 5; ++k) {
    if (!clip.intersects(ColumnArea(k).translated(getX(), getY()))) continue;
    drawn_[static_cast<std::size_t>(k)] = Appearance(r, k);
    DrawColumn(g, k, ColumnOf(r, k));
  }
}

void ReadoutsControl::DrawColumn(juce::Graphics& g, int k, const Column& c) const {
  const float b = kColumnCentres[static_cast<std::size_t>(k)];
  const float top = Box().getY();
  DrawText(g, titleStyle_, kTitles[static_cast<std::size_t>(k)], Ltrb(b - 37, top, b + 37, top + 14));

  if (!c.valid) {
    DrawText(g, valueStyle_.WithColour(c.colour), c.number, Ltrb(b - 37, top + 16, b + 37, top + 36));
  } else {
    const int unit = k == 0 ? 0 : 1;
    const float h = TextWidth(valueStyle_, c.number);
    const float l = unitWidth_[static_cast<std::size_t>(unit)];
    const float x0 = b - (h + l) / 2.0f;
    DrawText(g, valueStyle_.WithColour(c.colour).WithJustification(kNear), c.number,
             Ltrb(x0, top + 16, x0 + h + 2, top + 36));
    DrawText(g, unitStyle_.WithColour(k == 0 ? palette_.textDim : c.colour).WithJustification(kNear), kUnits[unit],
             Ltrb(x0 + h, top + 17, x0 + h + l + 2, top + 36));
  }

  if (c.held) {
    const float u = badgeHalfWidth_;
    // 13 high, ending half a pixel above the control's bottom edge so that
    // its rounded foot is drawn whole.
    const float bottom = static_cast<float>(Box().getBottom()) - 0.5f;
    const juce::Rectangle<float> badge = Ltrb(b - u, bottom - 13.0f, b + u, bottom);
    g.setColour(Argb(36, 250, 250, 250));
    g.fillRoundedRectangle(badge, 6.5f);
    DrawText(g, badgeStyle_, kHeld, badge);
    return;
  }
  g.setColour(palette_.hairline);
  g.fillRoundedRectangle(Ltrb(b - kBarHalfWidth, top + 39, b + kBarHalfWidth, top + 43), 2.0f);
  const float t = std::abs(c.barHalfWidth);
  if (c.valid && t > 0.5f) {
    g.setColour(c.out ? palette_.amber : palette_.text);
    const float left = c.barHalfWidth < 0.0f ? b - t : b;
    g.fillRoundedRectangle(Ltrb(left, top + 39, left + t, top + 43), 2.0f);
  }
  g.setColour(palette_.textDim);
  g.fillRect(Ltrb(b - 0.5f, top + 36, b + 0.5f, top + 46));
}

}  // namespace tonal_panel
