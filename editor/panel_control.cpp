#include "editor/panel_control.h"

namespace tonal_panel {

PanelControl::PanelControl(juce::Colour colour, ShadeGroup shade) : colour_(colour), shade_(shade) {
  if (shade_ != ShadeGroup::None) setInterceptsMouseClicks(false, false);
  setOpaque(colour_.isOpaque());
}

void PanelControl::Draw(juce::Graphics& g) {
  g.setColour(colour_);
  g.fillRect(Box());
}

}  // namespace tonal_panel
