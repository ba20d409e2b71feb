#pragma once
// The strip across the top of the window: the current preset's name (with
// "*" while it differs from its file), arrows that step through the saved
// presets, the list of them, "Save", "Save as", a "Delete" that asks for a
// second click ("Sure?"), and the button that opens the settings menu.
// Reads and writes presets only through its callables; the save-as name is
// typed into the editor's text entry.
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "editor/canvas_control.h"
#include "editor/text_entry.h"
#include "editor/text_style.h"

namespace kestrune::controls {

struct PresetBarStyle {
  juce::Colour buttonFill = tonal_panel::Argb(255, 20, 20, 20);
  juce::Colour outline = tonal_panel::Argb(77, 250, 250, 250);
  juce::Colour text = tonal_panel::Argb(255, 250, 250, 250);
  juce::Colour dimmedText = tonal_panel::Argb(107, 250, 250, 250);
  juce::Colour hoverFill = tonal_panel::Argb(20, 250, 250, 250);
  juce::Colour warning = tonal_panel::Argb(255, 255, 157, 46);
  tonal_panel::TextStyle textStyle{tonal_panel::FontFace::Regular, 11.0f, tonal_panel::Argb(255, 250, 250, 250),
                                   tonal_panel::kCenter, tonal_panel::text_styles::kDarkEntryBackground,
                                   tonal_panel::text_styles::kDarkEntryText};
  float scale = 1.0f;
  std::string title;  // empty in this editor
  juce::Colour barBackground = tonal_panel::Argb(255, 17, 17, 17);
  juce::Colour bottomLine = tonal_panel::Argb(26, 250, 250, 250);
  float leftMargin = 20.0f;
  float rightMargin = 20.0f;
};

class PresetBarControl final : public tonal_panel::CanvasControl {
 public:
  enum Zone { kNone = 0, kPrevious, kNameBox, kNext, kSave, kSaveAs, kDelete, kMenu };

  struct Callables {
    std::function<std::vector<std::string>()> listNames;
    std::function<std::string()> currentName;
    // Load and delete name the preset and which of the presets of that name
    // it is (0: the first in the list), since names need not be unique.
    std::function<void(const std::string&, int occurrence)> loadByName;
    std::function<void(const std::string&)> saveByName;
    std::function<void(const std::string&, int occurrence)> deleteByName;
    std::function<bool()> isModified;
    // Opens the settings menu next to a canvas rectangle; empty: no menu button.
    std::function<void(juce::Rectangle<float>)> openSettingsMenu;
  };

  PresetBarControl(PresetBarStyle style, Callables callables, tonal_panel::TextEntry& textEntry);

  Zone ZoneAt(juce::Point<float> canvasPoint) const;
  juce::Rectangle<float> ZoneRect(Zone zone) const;
  bool DeleteArmed() const;
  Zone HoverZone() const { return hover_; }
  // The name as drawn: shortened to the name box, with "*" while modified.
  std::string ShownName();
  // What a click on a zone does (the mouse handlers and tests use it).
  void Click(Zone zone);
  // The list the name box opens, and what choosing item `index` of it does.
  std::vector<std::string> ListMenuNames();
  void ChooseFromList(int index);

  // juce::Component
  void resized() override;
  void mouseDown(const juce::MouseEvent& e) override;
  void mouseMove(const juce::MouseEvent& e) override;
  void mouseEnter(const juce::MouseEvent& e) override;
  void mouseExit(const juce::MouseEvent& e) override;

 protected:
  void Draw(juce::Graphics& g) override;

 private:
  void Hover(Zone zone);
  void Disarm();
  void RefreshNames();
  void Step(int step);
  // Loads the preset at a place of a list of names.
  void LoadAt(const std::vector<std::string>& names, int index);
  // Where in names_ the current preset stands, or -1.
  int CurrentIndex(const std::string& current) const;
  void OpenList();
  void OpenSaveAs();
  void DrawButton(juce::Graphics& g, Zone zone, const juce::String& label, bool enabled, bool armed);
  void DrawArrow(juce::Graphics& g, Zone zone);
  void DrawMenuButton(juce::Graphics& g);
  float MeasureText(const std::string& text) const;

  PresetBarStyle style_;
  Callables callables_;
  tonal_panel::TextEntry& textEntry_;
  std::array<juce::Rectangle<float>, 8> zones_{};
  float e_ = 0.0f;
  std::string armedName_;
  std::vector<std::string> names_;
  bool namesLoaded_ = false;
  std::vector<std::string> menuNames_;
  // The preset this bar loaded last: its name and which of that name it was.
  std::string loadedName_;
  int loadedOccurrence_ = 0;
  Zone hover_ = kNone;
  std::string shortenedFor_;
  float shortenedWidth_ = -1.0f;
  std::string shortened_;
};

}  // namespace kestrune::controls
