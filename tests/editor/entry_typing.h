#pragma once
// Typing into the editor's text entry in tests. JUCE delivers Return and
// Escape to a text editor as posted messages, so after the key the message
// loop runs (for at most half a second) until the entry has closed.
#include <juce_gui_basics/juce_gui_basics.h>

#include "editor/text_entry.h"

namespace ombrix::test {

inline void PressKey(tonal_panel::TextEntry& entry, int keyCode) {
  if (entry.Field() == nullptr) return;
  entry.Field()->keyPressed(juce::KeyPress(keyCode));
  for (int i = 0; i < 100 && entry.IsOpen(); ++i) juce::MessageManager::getInstance()->runDispatchLoopUntil(5);
}

inline void TypeAndReturn(tonal_panel::TextEntry& entry, const char* utf8) {
  if (entry.Field() == nullptr) return;
  entry.Field()->setText(juce::String::fromUTF8(utf8));
  PressKey(entry, juce::KeyPress::returnKey);
}

}  // namespace ombrix::test
