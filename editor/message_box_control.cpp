#include "editor/message_box_control.h"

#include <algorithm>

namespace tonal_panel {
namespace {

constexpr int kMaxWidth = 380;
constexpr int kMargin = 16;      // around the box inside the window
constexpr int kPadding = 14;     // inside the box
constexpr int kCaptionHeight = 20;
constexpr int kLineHeight = 15;
constexpr int kButtonWidth = 64, kButtonHeight = 22, kButtonGap = 8;

TextStyle CaptionStyle() { return {FontFace::CondensedBold, 14.0f, text_styles::kColours.text, kNear}; }
TextStyle BodyStyle() { return {FontFace::Regular, 11.5f, text_styles::kColours.text, kNear}; }

// The longest start of word (at least one character) no wider than width.
int FittingPrefix(const juce::String& word, float width, const std::function<float(const juce::String&)>& measure) {
  int fits = 1;
  for (int n = 2; n <= word.length(); ++n) {
    if (measure(word.substring(0, n)) > width) break;
    fits = n;
  }
  return fits;
}

}  // namespace

std::vector<juce::String> WrapText(const juce::String& text, float width,
                                   const std::function<float(const juce::String&)>& measure) {
  std::vector<juce::String> lines;
  for (const juce::String& paragraph : juce::StringArray::fromLines(text)) {
    juce::String line;
    for (juce::String word : juce::StringArray::fromTokens(paragraph, " ", "")) {
      if (word.isEmpty()) continue;
      const juce::String joined = line.isEmpty() ? word : line + " " + word;
      if (measure(joined) <= width) {
        line = joined;
        continue;
      }
      if (line.isNotEmpty()) lines.push_back(line);
      line.clear();
      while (measure(word) > width) {
        const int n = FittingPrefix(word, width, measure);
        lines.push_back(word.substring(0, n));
        word = word.substring(n);
      }
      line = word;
    }
    lines.push_back(line);
  }
  return lines;
}

MessageBoxControl::MessageBoxControl(std::string caption, std::string text, std::vector<Button> buttons,
                                     std::function<void(int result)> pressed)
    : caption_(std::move(caption)), text_(std::move(text)), pressed_(std::move(pressed)) {
  setWantsKeyboardFocus(true);
  for (const Button& b : buttons) {
    auto button = std::make_unique<juce::TextButton>(b.text);
    const int result = b.result;
    button->onClick = [this, result] { Press(result); };
    addAndMakeVisible(*button);
    buttons_.push_back(std::move(button));
    results_.push_back(result);
  }
}

void MessageBoxControl::PlaceIn(juce::Rectangle<int> area) {
  const int width = std::min(kMaxWidth, area.getWidth() - 2 * kMargin);
  const TextStyle body = BodyStyle();
  lines_ = WrapText(juce::String::fromUTF8(text_.c_str()), static_cast<float>(width - 2 * kPadding),
                    [&body](const juce::String& s) { return TextWidth(body, s); });
  const int fixed = 2 * kPadding + kCaptionHeight + 8 + kButtonHeight + 12;
  const int maxLines = std::max(1, (area.getHeight() - 2 * kMargin - fixed) / kLineHeight);
  if (static_cast<int>(lines_.size()) > maxLines) {
    lines_.resize(static_cast<std::size_t>(maxLines));
    lines_.back() = lines_.back().dropLastCharacters(1) + juce::String::fromUTF8("\xE2\x80\xA6");
  }
  const int height = fixed + static_cast<int>(lines_.size()) * kLineHeight;
  setBounds(juce::Rectangle<int>(width, height).withCentre(area.getCentre()));
}

void MessageBoxControl::resized() {
  int right = getWidth() - kPadding;
  for (auto it = buttons_.rbegin(); it != buttons_.rend(); ++it) {
    (*it)->setBounds(right - kButtonWidth, getHeight() - kPadding - kButtonHeight, kButtonWidth, kButtonHeight);
    right -= kButtonWidth + kButtonGap;
  }
}

void MessageBoxControl::paint(juce::Graphics& g) {
  const juce::Rectangle<float> box = getLocalBounds().toFloat();
  g.setColour(findColour(juce::AlertWindow::backgroundColourId));
  g.fillRoundedRectangle(box, 6.0f);
  g.setColour(findColour(juce::AlertWindow::outlineColourId));
  g.drawRoundedRectangle(box.reduced(0.5f), 6.0f, 1.0f);
  const float left = kPadding, width = static_cast<float>(getWidth() - 2 * kPadding);
  DrawText(g, CaptionStyle(), juce::String::fromUTF8(caption_.c_str()), {left, kPadding, width, kCaptionHeight});
  float y = kPadding + kCaptionHeight + 8;
  for (const juce::String& line : lines_) {
    DrawText(g, BodyStyle(), line, {left, y, width, kLineHeight});
    y += kLineHeight;
  }
}

bool MessageBoxControl::keyPressed(const juce::KeyPress& key) {
  if (results_.empty()) return false;
  if (key == juce::KeyPress::returnKey) {
    Press(results_.front());
    return true;
  }
  if (key == juce::KeyPress::escapeKey) {
    Press(results_.back());
    return true;
  }
  return false;
}

void MessageBoxControl::Press(int result) {
  // Once only: the owner removes the box when it hears of the press.
  if (auto pressed = std::exchange(pressed_, nullptr)) pressed(result);
}

}  // namespace tonal_panel
