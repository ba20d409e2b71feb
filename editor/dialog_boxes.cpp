#include "editor/dialog_boxes.h"

#include <algorithm>

namespace tonal_panel {
namespace {

// Dims the canvas and takes every click meant for the controls beneath.
class Veil final : public juce::Component {
 public:
  Veil() { setInterceptsMouseClicks(true, false); }
  void paint(juce::Graphics& g) override { g.fillAll(juce::Colours::black.withAlpha(0.35f)); }
};

}  // namespace

struct DialogBoxes::Box {
  std::unique_ptr<MessageBoxControl> control;
  Answer answered;  // empty for a message
  std::string caption, text;
};

DialogBoxes::DialogBoxes(juce::Component& canvas) : canvas_(canvas), veil_(std::make_unique<Veil>()) {}

DialogBoxes::~DialogBoxes() {
  // Closing the editor is no Yes.
  std::vector<std::unique_ptr<Box>> boxes = std::move(boxes_);
  for (auto& box : boxes) {
    canvas_.removeChildComponent(box->control.get());
    if (box->answered) box->answered(false);
  }
  canvas_.removeChildComponent(veil_.get());
}

void DialogBoxes::Ask(const std::string& caption, const std::string& question, Answer answered) {
  Open(caption, question, true, std::move(answered));
}

void DialogBoxes::Show(const std::string& caption, const std::string& text) { Open(caption, text, false, {}); }

void DialogBoxes::Open(const std::string& caption, const std::string& text, bool question, Answer answered) {
  auto box = std::make_unique<Box>();
  Box* raw = box.get();
  std::vector<MessageBoxControl::Button> buttons;
  if (question)
    buttons = {{"Yes", 1}, {"No", 0}};
  else
    buttons = {{"OK", 0}};
  box->control = std::make_unique<MessageBoxControl>(caption, text, std::move(buttons),
                                                     [this, raw](int result) { Close(raw, result == 1); });
  box->answered = std::move(answered);
  box->caption = caption;
  box->text = text;
  if (veil_->getParentComponent() == nullptr) canvas_.addChildComponent(*veil_);
  veil_->setBounds(canvas_.getLocalBounds());
  veil_->setVisible(true);
  veil_->toFront(false);
  canvas_.addAndMakeVisible(*box->control);
  box->control->PlaceIn(canvas_.getLocalBounds());
  boxes_.push_back(std::move(box));
  BringToFront();
}

void DialogBoxes::BringToFront() {
  if (boxes_.empty()) return;
  veil_->toFront(false);
  for (const auto& box : boxes_) box->control->toFront(false);
  // Only a window on the screen can take the keyboard focus.
  if (canvas_.isShowing()) boxes_.back()->control->grabKeyboardFocus();
}

void DialogBoxes::Close(Box* box, bool yes) {
  const auto it = std::find_if(boxes_.begin(), boxes_.end(), [box](const auto& b) { return b.get() == box; });
  if (it == boxes_.end()) return;  // already gone with the editor
  std::unique_ptr<Box> closing = std::move(*it);
  boxes_.erase(it);
  Answer answered = std::move(closing->answered);
  canvas_.removeChildComponent(closing->control.get());
  if (boxes_.empty())
    veil_->setVisible(false);
  else
    BringToFront();
  // The box's button may be the one calling: the box goes once this call has returned.
  juce::MessageManager::callAsync([control = std::shared_ptr<MessageBoxControl>(std::move(closing->control))] {});
  if (answered) answered(yes);
}

std::vector<DialogBoxes::OpenBox> DialogBoxes::OpenBoxes() const {
  std::vector<OpenBox> open;
  for (const auto& box : boxes_) open.push_back({box->caption, box->text, box->control.get()});
  return open;
}

}  // namespace tonal_panel
