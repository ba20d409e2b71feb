#include "editor/editor_layout.h"

#include <cmath>

#include "editor/corner_scale_control.h"
#include "editor/logo_control.h"
#include "editor/preset_bar_control.h"
#include "editor/settings_menu_control.h"
#include "editor/text_style.h"
#include "editor/update_pill_control.h"

namespace tonal_panel {
namespace {

juce::Rectangle<int> ToRect(const CanvasRect& r) { return juce::Rectangle<int>::leftTopRightBottom(r.left, r.top, r.right, r.bottom); }

class Builder {
 public:
  Builder(juce::Component& canvas, const LayoutContext& context)
      : canvas_(canvas), context_(context), controls_(std::make_unique<EditorControls>()) {}

  std::unique_ptr<EditorControls> Build() {
    for (const LayoutEntry& entry : kLayout) Add(entry);
    ApplyShades(*controls_, context_.tick);
    return std::move(controls_);
  }

 private:
  template <typename Control>
  Control& Attach(const LayoutEntry& entry, std::unique_ptr<Control> control, int paintMargin = 0) {
    Control& c = *control;
    c.PlaceOnCanvas(ToRect(entry.bounds), paintMargin);
    canvas_.addAndMakeVisible(c);
    if (entry.tag != kNoTag) controls_->byTag[entry.tag] = &c;
    controls_->byId[entry.id] = &c;
    controls_->owned.push_back(std::move(control));
    return c;
  }

  void Add(const LayoutEntry& entry) {
    const Palette& palette = context_.palette;
    switch (entry.id) {
      case ControlId::Background:
        Attach(entry, std::make_unique<PanelControl>(fixed_colours::WindowBackground()));
        break;
      case ControlId::Card:
        Attach(entry, std::make_unique<PanelControl>(fixed_colours::Card()));
        break;
      case ControlId::TargetLabel:
        Attach(entry, std::make_unique<TextControl>(text_styles::Label(), "TARGET"));
        break;
      case ControlId::Divider:
        Attach(entry, std::make_unique<PanelControl>(fixed_colours::Divider()));
        break;
      case ControlId::CorrectShadeSpeed:
      case ControlId::CorrectShadeAmounts:
        controls_->correctShades.push_back(
            &Attach(entry, std::make_unique<PanelControl>(fixed_colours::Shade(), ShadeGroup::Correct)));
        break;
      case ControlId::FreezeShade:
        controls_->freezeShades.push_back(
            &Attach(entry, std::make_unique<PanelControl>(fixed_colours::Shade(), ShadeGroup::Freeze)));
        break;
      case ControlId::BypassShade:
        controls_->bypassShades.push_back(
            &Attach(entry, std::make_unique<PanelControl>(fixed_colours::Shade(), ShadeGroup::Bypass)));
        break;
      case ControlId::Title:
        controls_->title = &Attach(entry, std::make_unique<TextControl>(text_styles::Title(), context_.titleText));
        break;
      case ControlId::StatusLine:
        controls_->status = &Attach(entry, std::make_unique<TextControl>(text_styles::Status(), ""));
        break;
      case ControlId::Logo:
        AddLogo(entry);
        break;
      case ControlId::SettingsMenu:
        AddSettingsMenu(entry);
        break;
      case ControlId::UpdatePill:
        AddUpdatePill(entry);
        break;
      case ControlId::PresetBar:
        AddPresetBar(entry);
        break;
      case ControlId::CornerScale:
        Attach(entry, std::make_unique<CornerScaleControl>(context_.drawScale, context_.resizeToDrawScale));
        break;
      default:
        break;
    }
    (void)palette;
  }

  void AddSettingsMenu(const LayoutEntry& entry) {
    const ombrix::EditorCallables& c = *context_.callables;
    SettingsMenuControl::Callables menu;
    menu.windowScale = c.windowScale;
    menu.setWindowScale = c.setWindowScale;
    menu.theme = c.colourScheme;
    menu.setTheme = c.setColourScheme;
    menu.resolution = c.resolution;
    menu.setResolution = c.setResolution;
    menu.updateChecksEnabled = c.updateChecksEnabled;
    menu.toggleUpdateChecks = c.toggleUpdateChecks;
    controls_->settingsMenu = &Attach(entry, std::make_unique<SettingsMenuControl>(menu, OMBRIX_VERSION));
  }

  void AddUpdatePill(const LayoutEntry& entry) {
    const ombrix::EditorCallables& c = *context_.callables;
    kestrune::controls::UpdatePillControl::Callables pill;
    pill.state = c.updateState;
    pill.openPage = c.openUrl;
    // The title stops 10 pixels before the pill while it shows.
    pill.pillMoved = [controls = controls_.get()](juce::Rectangle<float> shown) {
      const CanvasRect title = EntryOf(ControlId::Title).bounds;
      const int right = shown.isEmpty() ? kTitleRightWithoutPill
                                        : static_cast<int>(std::floor(shown.getX())) - kTitleGapBeforePill;
      if (controls->title != nullptr)
        controls->title->PlaceOnCanvas(juce::Rectangle<int>::leftTopRightBottom(title.left, title.top, right, title.bottom));
      if (juce::Component* canvas = controls->title != nullptr ? controls->title->getParentComponent() : nullptr)
        canvas->repaint();
    };
    controls_->updatePill = &Attach(entry, std::make_unique<kestrune::controls::UpdatePillControl>(pill));
  }

  void AddPresetBar(const LayoutEntry& entry) {
    const ombrix::EditorCallables& c = *context_.callables;
    kestrune::controls::PresetBarControl::Callables bar;
    bar.listNames = c.presetNames;
    bar.currentName = c.presetName;
    bar.loadByName = c.loadPreset;
    bar.saveByName = c.savePresetAs;
    bar.deleteByName = c.deletePreset;
    bar.isModified = c.presetModified;
    bar.openSettingsMenu = [controls = controls_.get()](juce::Rectangle<float> area) {
      if (controls->settingsMenu != nullptr && controls->presetBar != nullptr)
        controls->settingsMenu->Open(*controls->presetBar, area);
    };
    controls_->presetBar = &Attach(
        entry, std::make_unique<kestrune::controls::PresetBarControl>(kestrune::controls::PresetBarStyle{}, bar,
                                                                      *context_.textEntry));
  }

  void AddLogo(const LayoutEntry& entry) {
    if (auto logo = LoadLogo(context_.logoData, context_.logoSize)) {
      auto control = std::make_unique<LogoControl>(std::move(*logo));
      const int right = entry.bounds.left + static_cast<int>(std::lround(control->Width()));
      LayoutEntry placed = entry;
      placed.bounds.right = right;
      Attach(placed, std::move(control));
      return;
    }
    Attach(entry, std::make_unique<TextControl>(text_styles::Wordmark(), "OMBRIX"));
  }

  juce::Component& canvas_;
  const LayoutContext& context_;
  std::unique_ptr<EditorControls> controls_;
};

void Show(const std::vector<PanelControl*>& shades, bool shown) {
  for (PanelControl* shade : shades)
    if (shade->isVisible() != shown) shade->setVisible(shown);
}

}  // namespace

std::unique_ptr<EditorControls> BuildLayout(juce::Component& canvas, const LayoutContext& context) {
  return Builder(canvas, context).Build();
}

void ApplyShades(EditorControls& controls, const ombrix::EditorTick& tick) {
  Show(controls.correctShades, !tick.correct);
  Show(controls.freezeShades, tick.correct && tick.freeze);
  Show(controls.bypassShades, tick.bypassed);
}

}  // namespace tonal_panel
