#include "editor/legend_control.h"

#include <algorithm>

namespace tonal_panel {
namespace {
constexpr std::array<const char*, 4> kLabels{"INPUT", "TARGET", "OUTPUT", "CORRECTION"};
constexpr float kSwatch = 14.0f;
}  // namespace

LegendControl::LegendControl(juce::Colour accent, std::function<bool()> correcting)
    : accent_(accent), correcting_(std::move(correcting)) {
  setInterceptsMouseClicks(false, false);
  setOpaque(true);
  for (std::size_t i = 0; i < kLabels.size(); ++i) widths_[i] = TextWidth(style_, kLabels[i]);
}

std::vector<float> LegendControl::ItemLefts(bool correcting) const {
  const std::size_t count = correcting ? 4 : 2;
  float total = 10.0f * static_cast<float>(count - 1);
  for (std::size_t i = 0; i < count; ++i) total += widths_[i] + 18.0f;
  std::vector<float> lefts;
  float x = Box().getRight() - total;
  for (std::size_t i = 0; i < count; ++i) {
    lefts.push_back(x);
    x += widths_[i] + 28.0f;
  }
  return lefts;
}

void LegendControl::Follow() {
  if ((correcting_ && correcting_()) != drawnCorrecting_) repaint();
}

void LegendControl::Draw(juce::Graphics& g) {
  const juce::Rectangle<float> b = Box();
  g.setColour(fixed_colours::Card());  // it sits on the card: nothing behind it needs painting
  g.fillRect(b);
  const float cy = b.getCentreY();
  drawnCorrecting_ = correcting_ && correcting_();
  const std::vector<float> lefts = ItemLefts(drawnCorrecting_);
  for (std::size_t i = 0; i < lefts.size(); ++i) {
    const float x = lefts[i];
    DrawSwatch(g, static_cast<int>(i), x, cy);
    DrawText(
        g, style_, kLabels[i],
        juce::Rectangle<float>::leftTopRightBottom(x + 18.0f, b.getY(), x + 18.0f + widths_[i] + 2.0f, b.getBottom()));
  }
}

void LegendControl::DrawSwatch(juce::Graphics& g, int item, float x, float cy) const {
  switch (item) {
    case kInput:
      g.setColour(Argb(235, 250, 250, 250));
      g.drawLine(x, cy, x + kSwatch, cy, 1.5f);
      break;
    case kTarget:
      g.setColour(accent_.withAlpha(static_cast<std::uint8_t>(114)));
      g.fillRect(x, cy - 4.0f, kSwatch, 8.0f);
      break;
    case kOutput:
      g.setColour(Argb(190, 250, 250, 250));
      for (float s = 0.0f; s <= 10.0f; s += 5.0f) g.drawLine(x + s, cy, x + std::min(s + 3.0f, kSwatch), cy, 1.5f);
      break;
    case kCorrection:
      g.setColour(accent_);
      g.drawLine(x, cy, x + kSwatch, cy, 2.0f);
      break;
    default:
      break;
  }
}

}  // namespace tonal_panel
