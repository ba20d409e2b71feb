#include "editor/amount_caption_control.h"

#include "core/parameter_table.h"
#include "library/format_db.h"
#include "library/typed_number.h"

namespace tonal_panel {

std::string LiveValueText(bool correcting, double value, const std::string& unit) {
  if (!correcting) return {};
  return " · " + kestrune::controls::FormatDb(value, true, false) + unit;
}

AmountCaptionControl::AmountCaptionControl(ombrix::ParameterCallables parameters, int index, std::string prefix,
                                           std::function<std::string()> liveValue, TextEntry& entry,
                                           std::function<void()> edited)
    : parameters_(std::move(parameters)),
      index_(index),
      prefix_(std::move(prefix)),
      liveValue_(std::move(liveValue)),
      entry_(entry),
      edited_(std::move(edited)) {
  setOpaque(true);  // it sits on the card: nothing behind it needs painting
  setTooltip(liveValue_ ? "How much of the measured deviation is corrected, and the correction applied now. "
                          "Click to type the amount."
                        : "Click to type a value.");
}

juce::String AmountCaptionControl::CaptionText() const {
  std::string text = prefix_ + ombrix::FormatParamValue(index_, parameters_.value(index_));
  if (liveValue_) text += liveValue_();
  return juce::String::fromUTF8(text.c_str());
}

void AmountCaptionControl::Follow() {
  if (CaptionText() != drawnText_) repaint();
}

void AmountCaptionControl::mouseDown(const juce::MouseEvent& e) { OpenEntry(e); }

void AmountCaptionControl::mouseDoubleClick(const juce::MouseEvent& e) { OpenEntry(e); }

void AmountCaptionControl::OpenEntry(const juce::MouseEvent& e) {
  if (!e.mods.isLeftButtonDown() || entry_.IsOpen()) return;
  const juce::Rectangle<float> b = Box();
  const float cy = b.getCentreY();
  entry_.Open(juce::Rectangle<float>::leftTopRightBottom(b.getX(), cy - 9.0f, b.getRight(), cy + 9.0f), valueStyle_,
              kMaxTypedLength, ombrix::FormatParamValue(index_, parameters_.value(index_)),
              [safe = juce::Component::SafePointer<AmountCaptionControl>(this)](const std::string& text) {
                if (safe != nullptr) safe->Commit(text);
              });
}

void AmountCaptionControl::Commit(const std::string& text) {
  const ombrix::ParamSpec& p = ombrix::Param(index_);
  if (const auto typed = kestrune::controls::ParseTypedNumber(text, p.minValue, p.maxValue, false)) {
    ombrix::SetAsGesture(parameters_, index_, *typed);
    if (edited_) edited_();
  }
  repaint();
}

void AmountCaptionControl::mouseEnter(const juce::MouseEvent&) {
  hovered_ = true;
  repaint();
}

void AmountCaptionControl::mouseExit(const juce::MouseEvent&) {
  hovered_ = false;
  repaint();
}

void AmountCaptionControl::Draw(juce::Graphics& g) {
  g.setColour(fixed_colours::Card());  // it sits on the card: nothing behind it needs painting
  g.fillRect(Box());
  drawnText_ = CaptionText();
  const TextStyle style = hovered_ ? labelStyle_.WithColour(text_styles::kColours.text) : labelStyle_;
  DrawText(g, style, drawnText_, Box());
}

}  // namespace tonal_panel
