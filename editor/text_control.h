#pragma once
// One line of text in a style: the "TARGET" label, the title, the status line
// and the wordmark that stands in for the logo. Ignores the mouse.
#include <string>

#include "editor/canvas_control.h"
#include "editor/text_style.h"

namespace tonal_panel {

class TextControl final : public CanvasControl {
 public:
  TextControl(TextStyle style, std::string text);
  void SetText(const std::string& text);
  const std::string& Text() const { return text_; }

 protected:
  void Draw(juce::Graphics& g) override;

 private:
  TextStyle style_;
  std::string text_;
};

}  // namespace tonal_panel
