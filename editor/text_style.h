#pragma once
// Text styles: font, size, colour, alignment, and the colours of a text entry
// opened with the style. The editor's styles are listed here once.
#include <juce_graphics/juce_graphics.h>

#include "editor/palette.h"

namespace tonal_panel {

enum class FontFace { Regular, CondensedBold };

struct TextStyle {
  FontFace face = FontFace::Regular;
  float size = 10.0f;
  juce::Colour colour = Argb(255, 250, 250, 250);
  juce::Justification justification = juce::Justification::centredLeft;
  juce::Colour entryBackground = juce::Colours::white;
  juce::Colour entryText = juce::Colours::black;

  TextStyle WithColour(juce::Colour c) const {
    TextStyle s = *this;
    s.colour = c;
    return s;
  }
  TextStyle WithSize(float points) const {
    TextStyle s = *this;
    s.size = points;
    return s;
  }
  TextStyle WithJustification(juce::Justification j) const {
    TextStyle s = *this;
    s.justification = j;
    return s;
  }
};

// Alignments, all vertically centred.
inline const juce::Justification kNear = juce::Justification::centredLeft;
inline const juce::Justification kCenter = juce::Justification::centred;
inline const juce::Justification kFar = juce::Justification::centredRight;

namespace text_styles {
const Palette kColours{};  // text colours do not depend on the theme
inline const juce::Colour kDarkEntryBackground = Argb(255, 30, 30, 30);
inline const juce::Colour kDarkEntryText = Argb(255, 250, 250, 250);

inline TextStyle Title() { return {FontFace::CondensedBold, 21.0f, kColours.text, kNear}; }
inline TextStyle Pill() { return {FontFace::Regular, 10.0f, kColours.text, kCenter}; }
inline TextStyle Wordmark() { return {FontFace::CondensedBold, 14.0f, kColours.textDim, kNear}; }
inline TextStyle Status() { return {FontFace::Regular, 11.0f, kColours.textFaint, kFar}; }
inline TextStyle Label() { return {FontFace::Regular, 10.0f, kColours.textDim, kNear}; }
inline TextStyle Small() { return {FontFace::Regular, 9.0f, kColours.text, kCenter}; }
inline TextStyle Legend() { return {FontFace::Regular, 9.0f, kColours.textDim, kNear}; }
inline TextStyle Chip() {
  return {FontFace::Regular, 11.5f, kColours.text, kNear, kDarkEntryBackground, kDarkEntryText};
}
inline TextStyle ReadoutTitle() { return {FontFace::Regular, 11.5f, kColours.text, kCenter}; }
inline TextStyle ReadoutValue() { return {FontFace::Regular, 15.0f, kColours.text, kCenter}; }
inline TextStyle ReadoutUnit() { return {FontFace::Regular, 10.0f, kColours.textDim, kCenter}; }
inline TextStyle CaptionLabel() { return {FontFace::Regular, 9.5f, kColours.textDim, kCenter}; }
inline TextStyle CaptionValue() {
  return {FontFace::Regular, 9.5f, kColours.text, kCenter, kDarkEntryBackground, kDarkEntryText};
}
}  // namespace text_styles

// The two embedded typefaces, shared by everything that holds a
// juce::SharedResourcePointer to them (the editor does, while it is open).
// Characters they lack are drawn from a face of the system that has them.
struct EditorTypefaces {
  EditorTypefaces();
  juce::Typeface::Ptr regular;
  juce::Typeface::Ptr condensedBold;
};

// The font of a style, from the two typefaces the editor embeds.
juce::Font FontOf(const TextStyle& style);
float TextWidth(const TextStyle& style, const juce::String& text);

// Draws text in a rectangle of canvas coordinates with the style's font,
// colour and alignment, on one line.
void DrawText(juce::Graphics& g, const TextStyle& style, const juce::String& text, juce::Rectangle<float> box);

}  // namespace tonal_panel
