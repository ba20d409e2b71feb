#pragma once
// The two dialogs that library operations may need from the editor: a Yes/No
// question and a message box. The plug-in binds them to its open editor; with
// no editor open it hands a default-constructed EditorDialogs, whose
// questions answer No and whose messages go nowhere.
#include <functional>
#include <string>

namespace ombrix {

struct EditorDialogs {
  // (caption, question) -> true only when the user answered Yes.
  std::function<bool(const std::string& caption, const std::string& question)> askYesNo;
  // (caption, text): a message box with an OK button.
  std::function<void(const std::string& caption, const std::string& text)> showMessage;

  // No when no question can be asked.
  bool Ask(const std::string& caption, const std::string& question) const {
    return askYesNo ? askYesNo(caption, question) : false;
  }
  // Dropped when no message box can be shown.
  void Show(const std::string& caption, const std::string& text) const {
    if (showMessage) showMessage(caption, text);
  }
};

}  // namespace ombrix
