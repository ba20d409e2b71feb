#include "editor/settings_menu_control.h"

#include <array>
#include <cmath>

#include "editor/palette.h"

namespace tonal_panel {
namespace {

constexpr std::array<const char*, 3> kResolutions{"Resolution: fine (1/3 octave)", "Resolution: medium (1/2 octave)",
                                                  "Resolution: smooth (1 octave)"};
constexpr std::array<float, 4> kWindowScales{0.75f, 1.0f, 1.5f, 2.0f};
constexpr std::array<const char*, 4> kWindowItems{"Window 0.75x", "Window 1x", "Window 1.5x", "Window 2x"};

// Item positions: three resolutions, separator, six themes, separator, four
// window sizes, separator, the update item, separator, the version line.
constexpr int kFirstResolution = 0;
constexpr int kFirstTheme = 4;
constexpr int kFirstWindow = 11;
constexpr int kUpdateItem = 16;

}  // namespace

SettingsMenuControl::SettingsMenuControl(Callables callables, std::string versionText)
    : callables_(std::move(callables)), versionText_(std::move(versionText)) {
  setInterceptsMouseClicks(false, false);
  setVisible(false);
}

MenuModel SettingsMenuControl::BuildMenu() const {
  MenuModel menu;
  const int resolution = callables_.resolution();
  for (int i = 0; i < static_cast<int>(kResolutions.size()); ++i)
    menu.push_back({kResolutions[static_cast<std::size_t>(i)], true, i == resolution, false});
  menu.push_back(Separator());
  const int theme = callables_.theme();
  for (int i = 0; i < static_cast<int>(kThemeNames.size()); ++i)
    menu.push_back({kThemeNames[static_cast<std::size_t>(i)], true, i == theme, false});
  menu.push_back(Separator());
  const float scale = callables_.windowScale();
  for (std::size_t i = 0; i < kWindowScales.size(); ++i)
    menu.push_back({kWindowItems[i], true, std::abs(kWindowScales[i] - scale) < 0.02f, false});
  menu.push_back(Separator());
  menu.push_back({"Check for updates", true, callables_.updateChecksEnabled(), false});
  menu.push_back(Separator());
  menu.push_back({"Ombrix " + versionText_, false, false, false});
  return menu;
}

void SettingsMenuControl::Choose(int index) {
  if (index >= kFirstResolution && index < kFirstResolution + static_cast<int>(kResolutions.size()))
    callables_.setResolution(index - kFirstResolution);
  else if (index >= kFirstTheme && index < kFirstTheme + static_cast<int>(kThemeNames.size()))
    callables_.setTheme(index - kFirstTheme);
  else if (index >= kFirstWindow && index < kFirstWindow + static_cast<int>(kWindowScales.size()))
    callables_.setWindowScale(kWindowScales[static_cast<std::size_t>(index - kFirstWindow)]);
  else if (index == kUpdateItem)
    callables_.toggleUpdateChecks();
}

void SettingsMenuControl::Open(juce::Component& anchor, juce::Rectangle<float> area) {
  ShowMenuAsync(BuildMenu(), anchor, area, [this](int index) { Choose(index); });
}

}  // namespace tonal_panel
