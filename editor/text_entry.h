#pragma once
// The editor's one text entry: a field opened over a rectangle of the canvas,
// in a text style, that commits on Return only and cancels on Escape or when
// it loses the keyboard focus (the user clicked elsewhere, another window).
// A half-typed name must never count as entered. Only one is open at a time; controls ask
// IsOpen() before opening theirs.
#include <functional>
#include <memory>
#include <string>

#include <juce_gui_basics/juce_gui_basics.h>

#include "editor/text_style.h"

namespace tonal_panel {

class TextEntry {
 public:
  using Commit = std::function<void(const std::string& text)>;

  explicit TextEntry(juce::Component& canvas);
  ~TextEntry();
  TextEntry(const TextEntry&) = delete;
  TextEntry& operator=(const TextEntry&) = delete;

  bool IsOpen() const { return field_ != nullptr; }
  // Opens the field pre-filled with text, limited to maxLength characters,
  // showing the placeholder while it is empty; does nothing while another
  // entry is open.
  void Open(juce::Rectangle<float> canvasBox, const TextStyle& style, int maxLength, const std::string& text,
            Commit onCommit, const std::string& placeholder = {});
  // Closes an open field without committing it (its owner is going away).
  void Dismiss() { Close(false); }
  // The open field (for keyboard input), or null.
  juce::TextEditor* Field() const { return field_.get(); }

 private:
  void Close(bool commit);

  juce::Component& canvas_;
  std::unique_ptr<juce::TextEditor> field_;
  Commit onCommit_;
};

}  // namespace tonal_panel
