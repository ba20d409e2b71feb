#include "editor/text_control.h"

namespace tonal_panel {

TextControl::TextControl(TextStyle style, std::string text) : style_(style), text_(std::move(text)) {
  setInterceptsMouseClicks(false, false);
}

void TextControl::SetText(const std::string& text) {
  if (text == text_) return;
  text_ = text;
  repaint();
}

void TextControl::Draw(juce::Graphics& g) { DrawText(g, style_, juce::String::fromUTF8(text_.c_str()), Box()); }

}  // namespace tonal_panel
