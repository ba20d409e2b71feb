#include "editor/chip_control.h"

namespace kestrune::controls {

ChipControl::ChipControl(tonal_panel::TextStyle style, const tonal_panel::Palette& palette,
                         tonal_panel::TextEntry& entry, ChipCallables callables)
    : style_(style), palette_(palette), entry_(entry), callables_(std::move(callables)) {
  setOpaque(true);  // it sits on the card: nothing behind it needs painting
}

juce::Rectangle<float> ChipControl::LabelBox() const {
  const juce::Rectangle<float> b = Box();
  return juce::Rectangle<float>::leftTopRightBottom(b.getX() + 10.0f, b.getY(), b.getRight() - 22.0f, b.getBottom());
}

std::string ChipControl::ShownLabel() {
  std::string label = callables_.label ? callables_.label() : std::string();
  if (!measured_ || label != label_) {
    label_ = std::move(label);
    shown_ = ShortenToFit(label_, LabelBox().getWidth(), [this](const std::string& s) {
      return tonal_panel::TextWidth(style_, juce::String::fromUTF8(s.c_str()));
    });
    measured_ = true;
  }
  return shown_;
}

void ChipControl::Follow() {
  if (callables_.label && callables_.label() != label_) repaint();
}

tonal_panel::MenuModel ChipControl::Menu() const {
  return callables_.menu ? callables_.menu() : tonal_panel::MenuModel{};
}

void ChipControl::ChooseItem(int index) {
  if (index >= 0 && callables_.itemChosen) callables_.itemChosen(index);
  repaint();
}

void ChipControl::OpenTextEntry(const std::string& text, juce::Justification justification,
                                const std::string& placeholder) {
  entry_.Open(Box(), style_.WithJustification(justification), kMaxTypedLength, text,
              [safe = juce::Component::SafePointer<ChipControl>(this)](const std::string& typed) {
                if (safe == nullptr) return;
                if (safe->callables_.textEntered) safe->callables_.textEntered(typed);
                safe->repaint();
              },
              placeholder);
}

void ChipControl::mouseDown(const juce::MouseEvent& e) {
  if (!e.mods.isLeftButtonDown() || entry_.IsOpen()) return;
  tonal_panel::ShowMenuAsync(Menu(), *this, Box(), [safe = juce::Component::SafePointer<ChipControl>(this)](int index) {
    if (safe != nullptr) safe->ChooseItem(index);
  });
}

void ChipControl::mouseEnter(const juce::MouseEvent&) {
  hovered_ = true;
  repaint();
}

void ChipControl::mouseExit(const juce::MouseEvent&) {
  hovered_ = false;
  repaint();
}

void ChipControl::Draw(juce::Graphics& g) {
  const juce::Rectangle<float> b = Box();
  g.setColour(tonal_panel::fixed_colours::Card());
  g.fillRect(b);
  g.setColour(hovered_ ? palette_.textDim : palette_.textFaint);
  g.drawRoundedRectangle(b.reduced(0.5f), b.getHeight() / 2.0f, 1.0f);

  tonal_panel::DrawText(g, style_, juce::String::fromUTF8(ShownLabel().c_str()), LabelBox());

  const float y = b.getCentreY() + 1.0f;
  const float r = b.getRight();
  juce::Path chevron;
  chevron.addTriangle(r - 16.0f, y - 2.5f, r - 8.0f, y - 2.5f, r - 12.0f, y + 2.5f);
  g.setColour(palette_.textDim);
  g.fillPath(chevron);
}

}  // namespace kestrune::controls
