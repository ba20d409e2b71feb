#pragma once
// The editor's look for what JUCE draws itself: popup menus, text entries and
// message boxes in the editor's dark colours and its Roboto typeface.
#include <juce_gui_basics/juce_gui_basics.h>

#include "editor/palette.h"
#include "editor/text_style.h"

namespace tonal_panel {

class OmbrixLookAndFeel final : public juce::LookAndFeel_V4 {
 public:
  explicit OmbrixLookAndFeel(const Palette& palette);

  juce::Typeface::Ptr getTypefaceForFont(const juce::Font& font) override;
  juce::Font getPopupMenuFont() override;

 private:
  juce::SharedResourcePointer<EditorTypefaces> typefaces_;
};

}  // namespace tonal_panel
