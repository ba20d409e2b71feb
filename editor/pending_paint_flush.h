#pragma once
// The framework paints a window's changes at the display's vertical blank;
// on Windows it learns the blanks from DXGI. Where DXGI names no output for
// the window's display (wine on a virtual X display, some remote sessions)
// no blank ever comes, and nothing the editor changes reaches the screen
// until the window is uncovered. Called once per idle tick, this paints the
// pending changes at once when no blank came since the tick before.
#include <juce_gui_basics/juce_gui_basics.h>

namespace tonal_panel {

class PendingPaintFlush {
 public:
  explicit PendingPaintFlush(juce::Component& window);
  void Tick();

 private:
  juce::Component& window_;
  bool blankSeen_ = false;
  juce::VBlankAttachment blanks_;
};

}  // namespace tonal_panel
