#pragma once
// One message box or Yes/No question drawn on the editor's canvas: a caption,
// the text wrapped to the box's width (long words, such as paths, break
// anywhere) and its buttons. Return presses the first button, Escape the
// last. The box never grows wider than the window or taller than it.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

#include "editor/text_style.h"

namespace tonal_panel {

class MessageBoxControl final : public juce::Component {
 public:
  struct Button {
    juce::String text;
    int result;
  };
  // pressed is called once with the result of the button pressed.
  MessageBoxControl(std::string caption, std::string text, std::vector<Button> buttons,
                    std::function<void(int result)> pressed);

  // Sizes the box for the text and centres it in area (canvas coordinates).
  void PlaceIn(juce::Rectangle<int> area);

  // The text's lines as they are drawn (for tests).
  const std::vector<juce::String>& Lines() const { return lines_; }

  // juce::Component
  void paint(juce::Graphics& g) override;
  void resized() override;
  bool keyPressed(const juce::KeyPress& key) override;

 private:
  void Press(int result);

  std::string caption_;
  std::string text_;
  std::vector<std::unique_ptr<juce::TextButton>> buttons_;
  std::vector<int> results_;
  std::function<void(int)> pressed_;
  std::vector<juce::String> lines_;
};

// Breaks text into lines no wider than width: at spaces where it can, inside a
// word where the word alone is wider; explicit line breaks are kept.
std::vector<juce::String> WrapText(const juce::String& text, float width,
                                   const std::function<float(const juce::String&)>& measure);

}  // namespace tonal_panel
