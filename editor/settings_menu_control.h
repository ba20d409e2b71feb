#pragma once
// The settings menu the preset bar's menu button opens: the display
// resolution, the colour theme, the window size, the automatic update check
// and the version line. Draws nothing and ignores the mouse; reads and sets
// everything through its callables.
#include <functional>
#include <string>

#include "editor/canvas_control.h"
#include "editor/menu_model.h"

namespace tonal_panel {

class SettingsMenuControl final : public CanvasControl {
 public:
  struct Callables {
    std::function<float()> windowScale;
    std::function<void(float)> setWindowScale;
    std::function<int()> theme;
    std::function<void(int)> setTheme;
    std::function<int()> resolution;
    std::function<void(int)> setResolution;
    std::function<bool()> updateChecksEnabled;   // the tick of "Check for updates"
    std::function<void()> toggleUpdateChecks;    // and what choosing it does
  };

  SettingsMenuControl(Callables callables, std::string versionText);

  // The menu as it would open now.
  MenuModel BuildMenu() const;
  // What choosing item `index` of BuildMenu() does; separators and the
  // version line do nothing.
  void Choose(int index);
  // Shows the menu next to a rectangle of the canvas, anchored to a visible
  // control of the same tree (the preset bar).
  void Open(juce::Component& anchor, juce::Rectangle<float> area);

 protected:
  void Draw(juce::Graphics&) override {}

 private:
  Callables callables_;
  std::string versionText_;
};

}  // namespace tonal_panel
