#pragma once
// The product's logo in the footer, 18 pixels high, drawn from the embedded
// SVG. When the SVG cannot be read the layout shows the wordmark instead.
#include <memory>
#include <optional>

#include "editor/canvas_control.h"

namespace tonal_panel {

struct LoadedLogo {
  std::unique_ptr<juce::Drawable> drawable;
  float aspect = 0.0f;  // the SVG's width / height
};

// Reads an SVG document; nothing when it does not parse or has no positive
// width and height.
std::optional<LoadedLogo> LoadLogo(const void* data, std::size_t size);

class LogoControl final : public CanvasControl {
 public:
  static constexpr float kHeight = 18.0f;
  explicit LogoControl(LoadedLogo logo);
  // The logo's width at its height of 18 pixels.
  float Width() const { return kHeight * logo_.aspect; }

 protected:
  void Draw(juce::Graphics& g) override;

 private:
  LoadedLogo logo_;
};

}  // namespace tonal_panel
