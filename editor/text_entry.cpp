#include "editor/text_entry.h"

namespace tonal_panel {

TextEntry::TextEntry(juce::Component& canvas) : canvas_(canvas) {}

TextEntry::~TextEntry() {
  if (field_ != nullptr) field_->onFocusLost = nullptr;
}

void TextEntry::Open(juce::Rectangle<float> canvasBox, const TextStyle& style, int maxLength, const std::string& text,
                     Commit onCommit, const std::string& placeholder) {
  if (IsOpen()) return;
  onCommit_ = std::move(onCommit);
  field_ = std::make_unique<juce::TextEditor>();
  juce::TextEditor& f = *field_;
  f.setColour(juce::TextEditor::backgroundColourId, style.entryBackground);
  f.setColour(juce::TextEditor::textColourId, style.entryText);
  f.setColour(juce::TextEditor::highlightedTextColourId, style.entryText);
  f.setColour(juce::TextEditor::outlineColourId, juce::Colours::transparentBlack);
  f.setColour(juce::TextEditor::focusedOutlineColourId, juce::Colours::transparentBlack);
  f.setColour(juce::CaretComponent::caretColourId, style.entryText);
  f.setFont(FontOf(style));
  f.setJustification(style.justification);
  f.setIndents(2, 0);
  f.setBorder({});
  f.setInputRestrictions(maxLength);
  f.setText(juce::String::fromUTF8(text.c_str()), false);
  f.setTextToShowWhenEmpty(juce::String::fromUTF8(placeholder.c_str()), style.entryText.withMultipliedAlpha(0.45f));
  f.selectAll();
  f.onReturnKey = [this] { Close(true); };
  f.onEscapeKey = [this] { Close(false); };
  f.onFocusLost = [this] { Close(false); };
  f.setBounds(canvasBox.getSmallestIntegerContainer());
  canvas_.addAndMakeVisible(f);
  if (canvas_.isShowing()) f.grabKeyboardFocus();
}

void TextEntry::Close(bool commit) {
  if (field_ == nullptr) return;
  const std::string text = field_->getText().toStdString();
  Commit onCommit = std::move(onCommit_);
  onCommit_ = nullptr;
  // The field may be the one calling: it goes once this call has returned.
  std::unique_ptr<juce::TextEditor> closing = std::move(field_);
  closing->onFocusLost = nullptr;
  closing->onReturnKey = nullptr;
  closing->onEscapeKey = nullptr;
  closing->setVisible(false);
  canvas_.removeChildComponent(closing.get());
  juce::MessageManager::callAsync([field = std::shared_ptr<juce::TextEditor>(std::move(closing))] {});
  if (commit && onCommit) onCommit(text);
}

}  // namespace tonal_panel
