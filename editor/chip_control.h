#pragma once
// A rounded selector: an outline, a label shortened with "…" to fit, and a
// chevron. A click opens its menu (built afresh each time); a chosen item
// goes to the item handler; a text entry opened over the chip goes to the
// text-entry handler. Shows whatever the label callable returns; re-reads it
// on the idle tick and repaints when it changed. Used for the target chip and
// the loudness target chip.
#include <functional>
#include <string>

#include "editor/canvas_control.h"
#include "editor/menu_model.h"
#include "editor/palette.h"
#include "editor/tick_follower.h"
#include "editor/shorten_text.h"
#include "editor/text_entry.h"
#include "editor/text_style.h"

namespace kestrune::controls {

struct ChipCallables {
  std::function<std::string()> label;
  std::function<tonal_panel::MenuModel()> menu;
  std::function<void(int index)> itemChosen;
  std::function<void(const std::string& text)> textEntered;
};

class ChipControl final : public tonal_panel::CanvasControl, public tonal_panel::TickFollower {
 public:
  static constexpr int kMaxTypedLength = 16;

  ChipControl(tonal_panel::TextStyle style, const tonal_panel::Palette& palette, tonal_panel::TextEntry& entry,
              ChipCallables callables);

  // Opens the text entry over the chip, pre-filled with text, in the chip's
  // style with the given alignment; does nothing while another is open.
  void OpenTextEntry(const std::string& text, juce::Justification justification, const std::string& placeholder = {});
  // The menu as the next click would show it.
  tonal_panel::MenuModel Menu() const;
  void ChooseItem(int index);
  // The label as drawn (shortened when it does not fit).
  std::string ShownLabel();

  // TickFollower
  void Follow() override;

  // juce::Component
  void mouseDown(const juce::MouseEvent& e) override;
  void mouseEnter(const juce::MouseEvent& e) override;
  void mouseExit(const juce::MouseEvent& e) override;

 protected:
  void Draw(juce::Graphics& g) override;

 private:
  juce::Rectangle<float> LabelBox() const;

  tonal_panel::TextStyle style_;
  tonal_panel::Palette palette_;
  tonal_panel::TextEntry& entry_;
  ChipCallables callables_;
  std::string label_;      // as last read
  std::string shown_;      // label_ shortened to fit
  bool measured_ = false;  // shown_ belongs to label_
  bool hovered_ = false;
};

}  // namespace kestrune::controls
