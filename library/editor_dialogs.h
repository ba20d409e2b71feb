#pragma once
// The two dialogs that library operations may need from the editor: a Yes/No
// question and a message box. A question never blocks: its answer comes
// later, through a continuation, on the user-interface thread. The plug-in
// binds both to its open editor; with no editor open it hands a
// default-constructed EditorDialogs, whose questions answer No at once and
// whose messages go nowhere.
#include <functional>
#include <string>

namespace ombrix {

struct EditorDialogs {
  using Answer = std::function<void(bool yes)>;

  // (caption, question, answered): answered(true) only when the user chose
  // Yes; answered(false) on No, and when the editor closed first.
  std::function<void(const std::string& caption, const std::string& question, Answer answered)> askYesNo;
  // (caption, text): a message box with an OK button.
  std::function<void(const std::string& caption, const std::string& text)> showMessage;

  // No, at once, when no question can be asked.
  void Ask(const std::string& caption, const std::string& question, Answer answered) const {
    if (askYesNo)
      askYesNo(caption, question, std::move(answered));
    else if (answered)
      answered(false);
  }
  // Dropped when no message box can be shown.
  void Show(const std::string& caption, const std::string& text) const {
    if (showMessage) showMessage(caption, text);
  }
};

}  // namespace ombrix
