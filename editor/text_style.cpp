#include "editor/text_style.h"

#include "OmbrixAssets.h"
#include "editor/fallback_typeface.h"

namespace tonal_panel {
EditorTypefaces::EditorTypefaces()
    : regular(new FallbackTypeface(juce::Typeface::createSystemTypefaceFor(OmbrixAssets::RobotoRegular_ttf,
                                                                          OmbrixAssets::RobotoRegular_ttfSize))),
      condensedBold(new FallbackTypeface(juce::Typeface::createSystemTypefaceFor(
          OmbrixAssets::RobotoCondensedBold_ttf, OmbrixAssets::RobotoCondensedBold_ttfSize))) {}

juce::Font FontOf(const TextStyle& style) {
  const juce::SharedResourcePointer<EditorTypefaces> typefaces;
  const juce::Typeface::Ptr& face = style.face == FontFace::CondensedBold ? typefaces->condensedBold : typefaces->regular;
  return juce::Font(face).withHeight(style.size);
}

float TextWidth(const TextStyle& style, const juce::String& text) { return FontOf(style).getStringWidthFloat(text); }

void DrawText(juce::Graphics& g, const TextStyle& style, const juce::String& text, juce::Rectangle<float> box) {
  g.setFont(FontOf(style));
  g.setColour(style.colour);
  g.drawText(text, box, style.justification, false);
}

}  // namespace tonal_panel
