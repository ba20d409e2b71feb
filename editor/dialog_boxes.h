#pragma once
// Message boxes and Yes/No questions shown inside the editor's window,
// asynchronously: a question's answer arrives later through a continuation,
// on the message thread. Boxes sit on the canvas, so they scale with it.
// When the editor closes, an unanswered question is answered No and every
// box goes with it.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <juce_gui_basics/juce_gui_basics.h>

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

  // The boxes open now, oldest first (for tests and the screenshot tool).
  struct OpenBox {
    std::string caption;
    std::string text;
    juce::AlertWindow* window = nullptr;
  };
  std::vector<OpenBox> OpenBoxes() const;

 private:
  struct Box;
  void Open(const std::string& caption, const std::string& text, bool question, Answer answered);
  void Close(Box* box, bool yes);

  juce::Component& canvas_;
  std::vector<std::unique_ptr<Box>> boxes_;
  // Cleared when this goes: a modal callback that arrives later does nothing.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace tonal_panel
