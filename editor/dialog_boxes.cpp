#include "editor/dialog_boxes.h"

#include <algorithm>

namespace tonal_panel {

struct DialogBoxes::Box {
  std::unique_ptr<juce::AlertWindow> window;
  Answer answered;  // empty for a message
  std::string caption, text;
};

DialogBoxes::DialogBoxes(juce::Component& canvas) : canvas_(canvas) {}

DialogBoxes::~DialogBoxes() {
  *alive_ = false;
  // Closing the editor is no Yes.
  std::vector<std::unique_ptr<Box>> boxes = std::move(boxes_);
  for (auto& box : boxes) {
    box->window->exitModalState(0);
    if (box->answered) box->answered(false);
  }
}

void DialogBoxes::Ask(const std::string& caption, const std::string& question, Answer answered) {
  Open(caption, question, true, std::move(answered));
}

void DialogBoxes::Show(const std::string& caption, const std::string& text) { Open(caption, text, false, {}); }

void DialogBoxes::Open(const std::string& caption, const std::string& text, bool question, Answer answered) {
  auto box = std::make_unique<Box>();
  box->window = std::make_unique<juce::AlertWindow>(
      juce::String::fromUTF8(caption.c_str()), juce::String::fromUTF8(text.c_str()),
      question ? juce::MessageBoxIconType::QuestionIcon : juce::MessageBoxIconType::InfoIcon);
  juce::AlertWindow& window = *box->window;
  if (question) {
    window.addButton("Yes", 1, juce::KeyPress(juce::KeyPress::returnKey));
    window.addButton("No", 0, juce::KeyPress(juce::KeyPress::escapeKey));
  } else {
    window.addButton("OK", 0, juce::KeyPress(juce::KeyPress::returnKey), juce::KeyPress(juce::KeyPress::escapeKey));
  }
  box->answered = std::move(answered);
  box->caption = caption;
  box->text = text;
  canvas_.addAndMakeVisible(window);
  window.centreWithSize(window.getWidth(), window.getHeight());
  window.setCentrePosition(canvas_.getLocalBounds().getCentre());
  Box* raw = box.get();
  boxes_.push_back(std::move(box));
  // Only a window on the screen can take the keyboard focus.
  window.enterModalState(canvas_.isShowing(), juce::ModalCallbackFunction::create([this, raw, alive = alive_](int result) {
                           if (*alive) Close(raw, result == 1);
                         }),
                         false);
}

void DialogBoxes::Close(Box* box, bool yes) {
  const auto it = std::find_if(boxes_.begin(), boxes_.end(), [box](const auto& b) { return b.get() == box; });
  if (it == boxes_.end()) return;  // already gone with the editor
  std::unique_ptr<Box> closing = std::move(*it);
  boxes_.erase(it);
  Answer answered = std::move(closing->answered);
  canvas_.removeChildComponent(closing->window.get());
  // The window may be the one calling: it goes once this call has returned.
  juce::MessageManager::callAsync([window = std::shared_ptr<juce::AlertWindow>(std::move(closing->window))] {});
  if (answered) answered(yes);
}

std::vector<DialogBoxes::OpenBox> DialogBoxes::OpenBoxes() const {
  std::vector<OpenBox> open;
  for (const auto& box : boxes_) open.push_back({box->caption, box->text, box->window.get()});
  return open;
}

}  // namespace tonal_panel
