#include "editor/preset_bar_control.h"

#include <algorithm>
#include <cmath>

#include "editor/menu_model.h"
#include "editor/shorten_text.h"

namespace kestrune::controls {
namespace {

constexpr std::size_t kSaveAsMaxLength = 80;

std::string TrimSpacesAndTabs(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

PresetBarControl::PresetBarControl(PresetBarStyle style, Callables callables, tonal_panel::TextEntry& textEntry)
    : style_(std::move(style)), callables_(std::move(callables)), textEntry_(textEntry) {
  // A bar without a library behind it shows "no preset" and does nothing.
  if (!callables_.listNames) callables_.listNames = [] { return std::vector<std::string>(); };
  if (!callables_.currentName) callables_.currentName = [] { return std::string(); };
  if (!callables_.loadByName) callables_.loadByName = [](const std::string&, int) {};
  if (!callables_.saveByName) callables_.saveByName = [](const std::string&) {};
  if (!callables_.deleteByName) callables_.deleteByName = [](const std::string&, int) {};
}

void PresetBarControl::resized() {
  CanvasControl::resized();
  const juce::Rectangle<float> b = Box();
  const float height = b.getHeight();
  e_ = std::max(2.0f, 0.18f * height);
  const float f = height - 2.0f * e_;
  const float g = 0.5f * f, h = 0.16f * f, w = 3.4f * f;
  const float top = b.getY() + e_, bottom = b.getBottom() - e_;
  const auto span = [top, bottom](float left, float right) {
    return juce::Rectangle<float>::leftTopRightBottom(left, top, right, bottom);
  };
  float x0 = b.getX() + style_.leftMargin - 0.28f * f;
  if (!style_.title.empty()) x0 += 120.0f * style_.scale;
  float m = b.getRight() - style_.rightMargin;
  zones_.fill({});
  if (callables_.openSettingsMenu) {
    zones_[kMenu] = span(m - f + 0.27f * f, m + 0.27f * f);
    m = zones_[kMenu].getX() - g;
  }
  zones_[kPrevious] = span(x0, x0 + f);
  const float u = 2.0f * f + g + 3.0f * w + 2.0f * h;
  const float nameWidth = std::max(f, std::min(210.0f * style_.scale + u, m - x0) - u);
  zones_[kNameBox] = span(x0 + f, x0 + f + nameWidth);
  const float nameRight = zones_[kNameBox].getRight();
  zones_[kNext] = span(nameRight, nameRight + f);
  float x = zones_[kNext].getRight() + g;
  zones_[kSave] = span(x, x + w);
  x += w + h;
  zones_[kSaveAs] = span(x, x + w);
  x += w + h;
  zones_[kDelete] = span(x, x + w);
}

juce::Rectangle<float> PresetBarControl::ZoneRect(Zone zone) const { return zones_[static_cast<std::size_t>(zone)]; }

PresetBarControl::Zone PresetBarControl::ZoneAt(juce::Point<float> p) const {
  for (int z = kPrevious; z <= kMenu; ++z) {
    const juce::Rectangle<float>& r = zones_[static_cast<std::size_t>(z)];
    if (z == kMenu && (!callables_.openSettingsMenu || r.isEmpty())) continue;
    if (p.x >= r.getX() && p.x < r.getRight() && p.y >= r.getY() && p.y < r.getBottom()) return static_cast<Zone>(z);
  }
  return kNone;
}

bool PresetBarControl::DeleteArmed() const {
  const std::string name = callables_.currentName();
  return !name.empty() && name == armedName_;
}

void PresetBarControl::Disarm() {
  if (armedName_.empty()) return;
  armedName_.clear();
  repaint();
}

void PresetBarControl::RefreshNames() {
  names_ = callables_.listNames();
  namesLoaded_ = true;
}

void PresetBarControl::Click(Zone zone) {
  const std::string name = callables_.currentName();
  if (zone != kDelete) {
    if (DeleteArmed()) Disarm();
    switch (zone) {
      case kPrevious:
        Step(-1);
        break;
      case kNameBox:
        OpenList();
        break;
      case kNext:
        Step(+1);
        break;
      case kSave:
        if (!name.empty()) callables_.saveByName(name);
        repaint();
        break;
      case kSaveAs:
        OpenSaveAs();
        break;
      case kMenu:
        if (callables_.openSettingsMenu) callables_.openSettingsMenu(ZoneRect(kMenu));
        break;
      default:
        break;
    }
    return;
  }
  if (name.empty()) return;
  if (DeleteArmed()) {
    armedName_.clear();
    callables_.deleteByName(name, name == loadedName_ ? loadedOccurrence_ : 0);
    RefreshNames();
  } else {
    armedName_ = name;
  }
  repaint();
}

void PresetBarControl::Step(int step) {
  RefreshNames();
  if (names_.empty()) return;
  const int count = static_cast<int>(names_.size());
  const int current = CurrentIndex(callables_.currentName());
  const int index = current >= 0 ? (current + step + count) % count : (step < 0 ? count - 1 : 0);
  LoadAt(names_, index);
  repaint();
}

int PresetBarControl::CurrentIndex(const std::string& current) const {
  // Among presets of the same name, the one this bar loaded.
  const int wanted = current == loadedName_ ? loadedOccurrence_ : 0;
  int first = -1, seen = 0;
  for (int i = 0; i < static_cast<int>(names_.size()); ++i) {
    if (names_[static_cast<std::size_t>(i)] != current) continue;
    if (seen++ == wanted) return i;
    if (first < 0) first = i;
  }
  return first;
}

void PresetBarControl::LoadAt(const std::vector<std::string>& names, int index) {
  const std::string& name = names[static_cast<std::size_t>(index)];
  loadedName_ = name;
  loadedOccurrence_ = static_cast<int>(std::count(names.begin(), names.begin() + index, name));
  callables_.loadByName(name, loadedOccurrence_);
}

std::vector<std::string> PresetBarControl::ListMenuNames() {
  RefreshNames();
  menuNames_ = names_;
  return menuNames_;
}

void PresetBarControl::OpenList() {
  if (ListMenuNames().empty()) return;
  tonal_panel::MenuModel model;
  const std::string current = callables_.currentName();
  for (const std::string& name : menuNames_) model.push_back({name, true, name == current, false});
  tonal_panel::ShowMenuAsync(model, *this, ZoneRect(kNameBox), [this](int index) { ChooseFromList(index); });
}

void PresetBarControl::ChooseFromList(int index) {
  if (index >= 0 && index < static_cast<int>(menuNames_.size())) LoadAt(menuNames_, index);
  repaint();
}

void PresetBarControl::OpenSaveAs() {
  const juce::Rectangle<float> name = ZoneRect(kNameBox);
  const float width = std::max(220.0f * style_.scale, name.getWidth());
  const juce::Rectangle<float> box = name.withSizeKeepingCentre(width, name.getHeight());
  textEntry_.Open(box, style_.textStyle, static_cast<int>(kSaveAsMaxLength), callables_.currentName(),
                  [this](const std::string& typed) {
                    const std::string trimmed = TrimSpacesAndTabs(typed);
                    if (trimmed.empty()) return;
                    callables_.saveByName(trimmed);
                    RefreshNames();
                    repaint();
                  },
                  "Preset name");
}

void PresetBarControl::Hover(Zone zone) {
  if (zone == hover_) return;
  if (hover_ == kNone) RefreshNames();
  if (hover_ == kDelete) Disarm();
  hover_ = zone;
  repaint();
}

void PresetBarControl::mouseDown(const juce::MouseEvent& e) { Click(ZoneAt(CanvasPoint(e))); }

void PresetBarControl::mouseMove(const juce::MouseEvent& e) { Hover(ZoneAt(CanvasPoint(e))); }

void PresetBarControl::mouseEnter(const juce::MouseEvent& e) { Hover(ZoneAt(CanvasPoint(e))); }

void PresetBarControl::mouseExit(const juce::MouseEvent&) {
  if (hover_ == kNone && armedName_.empty()) return;
  hover_ = kNone;
  armedName_.clear();
  repaint();
}

float PresetBarControl::MeasureText(const std::string& text) const {
  return tonal_panel::TextWidth(style_.textStyle, juce::String::fromUTF8(text.c_str()));
}

std::string PresetBarControl::ShownName() {
  const std::string name = callables_.currentName();
  if (name.empty()) return {};
  const bool modified = callables_.isModified && callables_.isModified();
  const float star = modified ? MeasureText("*") : 0.0f;
  const float width = ZoneRect(kNameBox).reduced(e_, 0.0f).getWidth() - star;
  if (name != shortenedFor_ || std::abs(width - shortenedWidth_) >= 0.5f) {
    shortened_ = ShortenToFit(name, width, [this](const std::string& t) { return MeasureText(t); });
    shortenedFor_ = name;
    shortenedWidth_ = width;
  }
  return modified ? shortened_ + "*" : shortened_;
}

void PresetBarControl::Draw(juce::Graphics& g) {
  if (!namesLoaded_) RefreshNames();
  const juce::Rectangle<float> b = Box();
  g.setColour(style_.barBackground);
  g.fillRect(b);
  g.setColour(style_.bottomLine);
  g.fillRect(juce::Rectangle<float>::leftTopRightBottom(b.getX(), b.getBottom() - 1.0f, b.getRight(), b.getBottom()));

  if (!style_.title.empty()) {
    const juce::Rectangle<float> titleBox = juce::Rectangle<float>::leftTopRightBottom(
        b.getX() + style_.leftMargin, b.getY(), ZoneRect(kPrevious).getX() - e_, b.getBottom());
    tonal_panel::DrawText(g, style_.textStyle.WithColour(style_.dimmedText).WithJustification(tonal_panel::kNear),
                          juce::String::fromUTF8(style_.title.c_str()), titleBox);
  }

  const juce::Rectangle<float> nameBox = ZoneRect(kNameBox);
  const float radius = 0.25f * nameBox.getHeight();
  g.setColour(style_.buttonFill);
  g.fillRoundedRectangle(nameBox, radius);
  if (hover_ == kNameBox) {
    g.setColour(style_.hoverFill);
    g.fillRoundedRectangle(nameBox, radius);
  }
  g.setColour(style_.outline);
  g.drawRoundedRectangle(nameBox, radius, 1.0f);
  const juce::Rectangle<float> nameText = nameBox.reduced(e_, 0.0f);
  if (callables_.currentName().empty())
    tonal_panel::DrawText(g, style_.textStyle.WithColour(style_.dimmedText), "no preset", nameText);
  else
    tonal_panel::DrawText(g, style_.textStyle.WithColour(style_.text), juce::String::fromUTF8(ShownName().c_str()),
                          nameText);

  DrawArrow(g, kPrevious);
  DrawArrow(g, kNext);
  const bool named = !callables_.currentName().empty();
  const bool armed = DeleteArmed();
  DrawButton(g, kSave, "Save", named, false);
  DrawButton(g, kSaveAs, "Save as", true, false);
  DrawButton(g, kDelete, armed ? "Sure?" : "Delete", named, armed);
  if (callables_.openSettingsMenu) DrawMenuButton(g);
}

void PresetBarControl::DrawArrow(juce::Graphics& g, Zone zone) {
  const juce::Rectangle<float> r = ZoneRect(zone);
  const bool listed = !names_.empty();
  if (hover_ == zone && listed) {
    g.setColour(style_.hoverFill);
    g.fillRoundedRectangle(r, 0.25f * r.getHeight());
  }
  const float cx = r.getCentreX(), cy = r.getCentreY();
  const float dx = 0.22f * r.getWidth(), dy = 0.26f * r.getHeight();
  juce::Path triangle;
  if (zone == kPrevious)
    triangle.addTriangle(cx + dx, cy - dy, cx + dx, cy + dy, cx - dx, cy);
  else
    triangle.addTriangle(cx - dx, cy - dy, cx - dx, cy + dy, cx + dx, cy);
  g.setColour(listed ? style_.text : style_.dimmedText);
  g.fillPath(triangle);
}

void PresetBarControl::DrawButton(juce::Graphics& g, Zone zone, const juce::String& label, bool enabled,
                                  bool armed) {
  const juce::Rectangle<float> r = ZoneRect(zone);
  const float radius = 0.25f * r.getHeight();
  g.setColour(style_.buttonFill);
  g.fillRoundedRectangle(r, radius);
  if (hover_ == zone && enabled) {
    g.setColour(style_.hoverFill);
    g.fillRoundedRectangle(r, radius);
  }
  g.setColour(armed ? style_.warning : style_.outline);
  g.drawRoundedRectangle(r, radius, 1.0f);
  const juce::Colour colour = armed ? style_.warning : enabled ? style_.text : style_.dimmedText;
  tonal_panel::DrawText(g, style_.textStyle.WithColour(colour), label, r);
}

void PresetBarControl::DrawMenuButton(juce::Graphics& g) {
  const juce::Rectangle<float> r = ZoneRect(kMenu);
  const bool hovered = hover_ == kMenu;
  if (hovered) {
    g.setColour(style_.hoverFill);
    g.fillRoundedRectangle(r, 0.25f * r.getHeight());
  }
  const float b = 0.5f * std::max(1.0f, 0.085f * r.getHeight());
  const float width = 0.46f * r.getWidth();
  g.setColour(hovered ? style_.text : style_.dimmedText);
  for (const float offset : {-0.21f, 0.0f, 0.21f}) {
    const float cy = r.getCentreY() + offset * r.getHeight();
    g.fillRoundedRectangle(juce::Rectangle<float>(r.getCentreX() - width / 2.0f, cy - b, width, 2.0f * b), b);
  }
}

}  // namespace kestrune::controls
