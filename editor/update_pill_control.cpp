#include "editor/update_pill_control.h"

#include <algorithm>

namespace kestrune::controls {

UpdatePillControl::UpdatePillControl(Callables callables) : callables_(std::move(callables)) {}

void UpdatePillControl::resized() {
  CanvasControl::resized();
  pill_ = {};
  Refresh();
}

void UpdatePillControl::Poll() {
  if (!callables_.state) return;
  const std::int64_t count = callables_.state().changeCount;
  if (count == lastChangeCount_) return;
  lastChangeCount_ = count;
  Refresh();
  repaint();
}

void UpdatePillControl::Refresh() {
  const updates::UpdateState state = callables_.state ? callables_.state() : updates::UpdateState{};
  text_.clear();
  address_.clear();
  juce::Rectangle<float> pill;
  if (state.available) {
    text_ = state.available->version + " AVAILABLE";
    address_ = state.available->page;
    const juce::Rectangle<float> b = Box();
    const float textWidth = tonal_panel::TextWidth(style_, juce::String::fromUTF8(text_.c_str()));
    const float width = std::min(b.getHeight() * 2.0f / 3.0f + textWidth, b.getWidth());
    pill = juce::Rectangle<float>::leftTopRightBottom(b.getRight() - width, b.getY(), b.getRight(), b.getBottom());
  }
  if (pill != pill_) {
    pill_ = pill;
    if (callables_.pillMoved) callables_.pillMoved(pill_);
  }
}

bool UpdatePillControl::IsHit(juce::Point<float> p) const {
  if (pill_.isEmpty()) return false;
  return p.x >= pill_.getX() && p.x < pill_.getRight() && p.y >= pill_.getY() && p.y < pill_.getBottom();
}

void UpdatePillControl::mouseDown(const juce::MouseEvent&) {
  if (!address_.empty() && callables_.openPage) callables_.openPage(address_);
}

void UpdatePillControl::mouseMove(const juce::MouseEvent& e) {
  const bool hovered = IsHit(CanvasPoint(e));
  if (hovered == hovered_) return;
  hovered_ = hovered;
  setMouseCursor(hovered ? juce::MouseCursor::PointingHandCursor : juce::MouseCursor::NormalCursor);
  repaint();
}

void UpdatePillControl::mouseExit(const juce::MouseEvent&) {
  if (hovered_) setMouseCursor(juce::MouseCursor::NormalCursor);
  hovered_ = false;
  repaint();
}

void UpdatePillControl::Draw(juce::Graphics& g) {
  if (pill_.isEmpty()) Refresh();
  if (pill_.isEmpty()) return;
  const float h = pill_.getHeight();
  const juce::Rectangle<float> shape = pill_.reduced(0.0f, 0.1f * h);
  g.setColour(hovered_ ? hoverFill_ : fill_);
  g.fillRoundedRectangle(shape, 0.8f * h / 6.0f);
  tonal_panel::DrawText(g, style_.WithColour(textColour_), juce::String::fromUTF8(text_.c_str()), shape);
}

}  // namespace kestrune::controls
