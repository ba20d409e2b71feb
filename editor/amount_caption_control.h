#pragma once
// The caption under a knob: an optional prefix, the parameter's display text
// and, while "Correct" is on, the live value the correction applies
// ("50 % · +1.2 dB"). It brightens under the mouse; a click opens a text
// entry for typing the value, which reaches the host as one gesture.
// Reads the parameter and the live-value callable; follows host changes on
// the idle tick, and the editor repaints it every tick while correcting.
#include <functional>
#include <string>

#include "editor/canvas_control.h"
#include "editor/tick_follower.h"
#include "editor/text_entry.h"
#include "editor/text_style.h"
#include "plugin/editor_callables.h"

namespace tonal_panel {

// " · +1.2 dB": the live value of a caption, or nothing while not correcting.
std::string LiveValueText(bool correcting, double value, const std::string& unit);

class AmountCaptionControl final : public CanvasControl, public TickFollower, public juce::SettableTooltipClient {
 public:
  static constexpr int kMaxTypedLength = 16;

  // liveValue may be empty (no live value); edited runs after a typed value
  // was sent, so the knob of the same parameter shows it at once.
  AmountCaptionControl(ombrix::ParameterCallables parameters, int index, std::string prefix,
                       std::function<std::string()> liveValue, TextEntry& entry, std::function<void()> edited = {});

  // The text the caption shows now.
  juce::String CaptionText() const;

  // TickFollower
  void Follow() override;

  // juce::Component
  void mouseDown(const juce::MouseEvent& e) override;
  void mouseDoubleClick(const juce::MouseEvent& e) override;
  void mouseEnter(const juce::MouseEvent& e) override;
  void mouseExit(const juce::MouseEvent& e) override;

 protected:
  void Draw(juce::Graphics& g) override;

 private:
  void OpenEntry(const juce::MouseEvent& e);
  void Commit(const std::string& text);

  ombrix::ParameterCallables parameters_;
  int index_;
  std::string prefix_;
  std::function<std::string()> liveValue_;
  TextEntry& entry_;
  std::function<void()> edited_;
  TextStyle labelStyle_ = text_styles::CaptionLabel();
  TextStyle valueStyle_ = text_styles::CaptionValue();
  juce::String drawnText_;
  bool hovered_ = false;
};

}  // namespace tonal_panel
