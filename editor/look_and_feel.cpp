#include "editor/look_and_feel.h"

namespace tonal_panel {

OmbrixLookAndFeel::OmbrixLookAndFeel(const Palette& palette) {
  const juce::Colour menuBackground = Argb(255, 30, 30, 30);
  setColour(juce::PopupMenu::backgroundColourId, menuBackground);
  setColour(juce::PopupMenu::textColourId, palette.text);
  setColour(juce::PopupMenu::headerTextColourId, palette.textDim);
  setColour(juce::PopupMenu::highlightedBackgroundColourId, palette.accent.withAlpha(0.25f));
  setColour(juce::PopupMenu::highlightedTextColourId, palette.text);
  setColour(juce::AlertWindow::backgroundColourId, menuBackground);
  setColour(juce::AlertWindow::textColourId, palette.text);
  setColour(juce::AlertWindow::outlineColourId, palette.hairline);
  setColour(juce::TextButton::buttonColourId, Argb(255, 42, 42, 42));
  setColour(juce::TextButton::textColourOffId, palette.text);
  setColour(juce::TextEditor::backgroundColourId, text_styles::kDarkEntryBackground);
  setColour(juce::TextEditor::textColourId, text_styles::kDarkEntryText);
  setColour(juce::TextEditor::highlightColourId, palette.accent.withAlpha(0.35f));
}

juce::Typeface::Ptr OmbrixLookAndFeel::getTypefaceForFont(const juce::Font& font) {
  if (font.getTypefaceName() == juce::Font::getDefaultSansSerifFontName())
    return font.isBold() ? typefaces_->condensedBold : typefaces_->regular;
  return juce::LookAndFeel_V4::getTypefaceForFont(font);
}

juce::Font OmbrixLookAndFeel::getPopupMenuFont() { return juce::Font(typefaces_->regular).withHeight(14.0f); }

}  // namespace tonal_panel
