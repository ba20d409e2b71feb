#pragma once
// Message boxes and Yes/No questions shown inside the editor's window,
// asynchronously: a question's answer arrives later through a continuation,
// on the message thread. Boxes sit on the canvas, so they scale with it.
// While a box is open a veil over the canvas keeps the mouse from this
// editor's controls; other windows, other instances' editors among them, go
// on working. When the editor closes, an unanswered question is answered No
// and every box goes with it.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

#include "editor/message_box_control.h"

namespace tonal_panel {

class DialogBoxes {
 public:
  using Answer = std::function<void(bool yes)>;

  explicit DialogBoxes(juce::Component& canvas);
  ~DialogBoxes();
  DialogBoxes(const DialogBoxes&) = delete;
  DialogBoxes& operator=(const DialogBoxes&) = delete;

  // A Yes/No box; answered(true) only when the user chooses "Yes".
  void Ask(const std::string& caption, const std::string& question, Answer answered);
  // A box with an OK button.
  void Show(const std::string& caption, const std::string& text);
  // Keeps the veil and the boxes above controls attached later.
  void BringToFront();

  // The boxes open now, oldest first (for tests and the screenshot tool).
  struct OpenBox {
    std::string caption;
    std::string text;
    MessageBoxControl* box = nullptr;
  };
  std::vector<OpenBox> OpenBoxes() const;

 private:
  struct Box;
  void Open(const std::string& caption, const std::string& text, bool question, Answer answered);
  void Close(Box* box, bool yes);

  juce::Component& canvas_;
  std::unique_ptr<juce::Component> veil_;
  std::vector<std::unique_ptr<Box>> boxes_;
};

}  // namespace tonal_panel
