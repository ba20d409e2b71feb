#pragma once
// The pill in the header that announces a newer version ("1.2.0 AVAILABLE")
// once the update check has found one, and opens its page in the browser
// when clicked. Invisible, and transparent to the mouse, until then. Reads
// the update check's state through a callable and polls its change counter
// on every idle tick; tells the layout where the pill is so that the title
// stops before it.
#include <functional>
#include <string>

#include "editor/canvas_control.h"
#include "editor/text_style.h"
#include "library/update_check.h"

namespace kestrune::controls {

class UpdatePillControl final : public tonal_panel::CanvasControl {
 public:
  struct Callables {
    std::function<updates::UpdateState()> state;  // a consistent copy, taken under the checker's lock
    std::function<void(const std::string& address)> openPage;
    std::function<void(juce::Rectangle<float> pill)> pillMoved;  // all zero while hidden
  };

  explicit UpdatePillControl(Callables callables);

  // Called on every idle tick: refreshes and repaints when the update check
  // changed since the last look.
  void Poll();
  juce::Rectangle<float> Pill() const { return pill_; }
  const std::string& Text() const { return text_; }

  bool IsHit(juce::Point<float> canvasPoint) const override;

  // juce::Component
  void resized() override;
  void mouseDown(const juce::MouseEvent& e) override;
  void mouseMove(const juce::MouseEvent& e) override;
  void mouseExit(const juce::MouseEvent& e) override;

 protected:
  void Draw(juce::Graphics& g) override;

 private:
  void Refresh();

  juce::Colour fill_ = tonal_panel::Argb(255, 252, 120, 92);
  juce::Colour hoverFill_ = tonal_panel::Argb(255, 253, 146, 124);
  juce::Colour textColour_ = tonal_panel::Argb(255, 10, 10, 10);
  Callables callables_;
  std::int64_t lastChangeCount_ = -1;
  juce::Rectangle<float> pill_;
  std::string text_;
  std::string address_;
  bool hovered_ = false;
  tonal_panel::TextStyle style_ = tonal_panel::text_styles::Pill();
};

}  // namespace kestrune::controls
