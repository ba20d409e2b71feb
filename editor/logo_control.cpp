#include "editor/logo_control.h"

namespace tonal_panel {
namespace {

// "331.15px", "64" or "64pt" as a number of pixels at 72 dpi; 0 when absent.
float SvgLength(const juce::XmlElement& svg, const char* attribute) {
  const juce::String text = svg.getStringAttribute(attribute).trim();
  if (text.isEmpty() || text.endsWithChar('%')) return 0.0f;
  return text.getFloatValue();
}

}  // namespace

std::optional<LoadedLogo> LoadLogo(const void* data, std::size_t size) {
  if (data == nullptr || size == 0) return std::nullopt;
  const auto xml = juce::XmlDocument::parse(juce::String::fromUTF8(static_cast<const char*>(data), static_cast<int>(size)));
  if (xml == nullptr || !xml->hasTagName("svg")) return std::nullopt;
  const float width = SvgLength(*xml, "width"), height = SvgLength(*xml, "height");
  if (!(width > 0.0f) || !(height > 0.0f)) return std::nullopt;
  auto drawable = juce::Drawable::createFromSVG(*xml);
  if (drawable == nullptr) return std::nullopt;
  return LoadedLogo{std::move(drawable), width / height};
}

LogoControl::LogoControl(LoadedLogo logo) : logo_(std::move(logo)) { setInterceptsMouseClicks(false, false); }

void LogoControl::Draw(juce::Graphics& g) {
  logo_.drawable->drawWithin(g, Box(), juce::RectanglePlacement::stretchToFit, 1.0f);
}

}  // namespace tonal_panel
