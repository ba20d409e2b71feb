#include "editor/editor_layout.h"

#include <cmath>
#include <memory>
#include <type_traits>

#include "core/parameter_table.h"
#include "editor/amount_caption_control.h"
#include "editor/chip_control.h"
#include "editor/corner_scale_control.h"
#include "editor/frequency_display_control.h"
#include "editor/legend_control.h"
#include "editor/logo_control.h"
#include "editor/loudness_control.h"
#include "editor/loudness_target_menu.h"
#include "editor/pill_toggle_control.h"
#include "editor/preset_bar_control.h"
#include "editor/readouts_control.h"
#include "editor/ring_knob_control.h"
#include "editor/settings_menu_control.h"
#include "editor/target_menu.h"
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

  // A control placed by its own rectangle rather than a table entry (the
  // knob row's knobs and captions).
  template <typename Control>
  Control& Own(const CanvasRect& bounds, std::unique_ptr<Control> control) {
    Control& c = *control;
    if constexpr (std::is_base_of_v<CanvasControl, Control>)
      c.PlaceOnCanvas(ToRect(bounds));
    else
      c.setBounds(ToRect(bounds));
    canvas_.addAndMakeVisible(c);
    controls_->owned.push_back(std::move(control));
    return c;
  }

  void Add(const LayoutEntry& entry) {
    const Palette& palette = context_.palette;
    const ombrix::EditorCallables& callables = *context_.callables;
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
      case ControlId::TargetChip:
        AddTargetChip(entry);
        break;
      case ControlId::Legend:
        controls_->followers.push_back(
            &Attach(entry, std::make_unique<LegendControl>(palette.accent, callables.correcting)));
        break;
      case ControlId::Readouts:
        controls_->followers.push_back(&Attach(entry, std::make_unique<ReadoutsControl>(palette, callables.readouts)));
        break;
      case ControlId::CorrectPill:
        AddPill(entry, ombrix::kCorrect, "CORRECT", "CORRECT", false);
        break;
      case ControlId::FreezePill:
        AddPill(entry, ombrix::kFreeze, "FREEZE", "FROZEN", false);
        break;
      case ControlId::BypassPill:
        AddPill(entry, ombrix::kBypass, "ACTIVE", "BYPASSED", true);
        break;
      case ControlId::KnobRow:
        for (const KnobColumn& column : kKnobColumns) AddKnobColumn(column);
        break;
      case ControlId::Loudness:
        controls_->followers.push_back(
            &Attach(entry,
                    std::make_unique<LoudnessControl>(palette, callables.loudnessReading, callables.toggleLoudnessView,
                                                      callables.toggleLoudnessViewAndResetMeters),
                    LoudnessControl::kPaintMargin));
        break;
      case ControlId::LoudnessChip:
        AddLoudnessChip(entry);
        break;
      case ControlId::Spectrum: {
        const std::array<int, 3> crossovers{ombrix::kLowCrossover, ombrix::kMidCrossover, ombrix::kHighCrossover};
        auto spectrum =
            std::make_unique<SpectrumControl>(crossovers, palette, text_styles::Small(), callables.spectrumSnapshot,
                                              callables.parameters, *context_.textEntry);
        controls_->followers.push_back(&Attach(entry, std::move(spectrum)));
        break;
      }
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
  }

  void AddPill(const LayoutEntry& entry, int parameter, const char* offLabel, const char* onLabel, bool inverted) {
    controls_->followers.push_back(&Attach(
        entry, std::make_unique<PillToggleControl>(context_.callables->parameters, parameter, offLabel, onLabel,
                                                   text_styles::Pill(), 1.0f, context_.palette.accent, inverted)));
  }

  void AddKnobColumn(const KnobColumn& column) {
    const ombrix::EditorCallables& callables = *context_.callables;
    KnobStyle style;
    style.pointer = context_.palette.text;
    style.accent = context_.palette.accent;
    style.track = fixed_colours::KnobTrack();
    RingKnobControl& knob = Own(KnobBounds(column.centreX),
                                std::make_unique<RingKnobControl>(callables.parameters, column.parameter, style));
    auto& caption = Own(CaptionBounds(column.centreX),
                        std::make_unique<AmountCaptionControl>(
                            callables.parameters, column.parameter, std::string(column.captionPrefix),
                            LiveValueOf(column), *context_.textEntry, [&knob] { knob.Follow(); }));
    controls_->followers.push_back(&knob);
    controls_->followers.push_back(&caption);
  }

  // The live value after a caption's amount: empty while "Correct" is off.
  std::function<std::string()> LiveValueOf(const KnobColumn& column) const {
    if (column.live == KnobColumn::LiveValue::None) return {};
    const ombrix::EditorCallables& c = *context_.callables;
    return [parameters = c.parameters, gains = c.appliedGains, tilt = c.tiltCaption, band = c.bandGainCaption, column] {
      const bool correcting = ombrix::IsOn(parameters.value(ombrix::kCorrect));
      if (!correcting || !gains) return std::string();
      if (column.live == KnobColumn::LiveValue::Tilt) return LiveValueText(true, tilt(gains()), "/oct");
      return LiveValueText(true, band(gains(), static_cast<std::size_t>(column.band)), " dB");
    };
  }

  void AddTargetChip(const LayoutEntry& entry) {
    const ombrix::EditorCallables& callables = *context_.callables;
    auto menu = std::make_shared<ActionMenu>();
    // The save item opens the entry over the chip, which exists once attached.
    auto chipControl = std::make_shared<kestrune::controls::ChipControl*>(nullptr);
    TargetMenuHooks hooks;
    hooks.openSaveEntry = [chipControl](const std::string& suggestion) {
      if (*chipControl != nullptr) (*chipControl)->OpenTextEntry(suggestion, kNear, "Target name");
    };
    hooks.chooseReferenceFile = context_.chooseReferenceFile;
    kestrune::controls::ChipCallables chip;
    chip.label = [callables] { return TargetChipLabel(callables); };
    chip.menu = [menu, callables, hooks] {
      *menu = BuildTargetMenu(callables, hooks);
      return menu->model;
    };
    chip.itemChosen = [menu](int index) { menu->Run(index); };
    chip.textEntered = callables.saveTargetAs;
    *chipControl = &Attach(entry, std::make_unique<kestrune::controls::ChipControl>(
                                      text_styles::Chip(), context_.palette, *context_.textEntry, std::move(chip)));
    controls_->followers.push_back(*chipControl);
  }

  void AddLoudnessChip(const LayoutEntry& entry) {
    const ombrix::ParameterCallables parameters = context_.callables->parameters;
    juce::Component* canvas = &canvas_;
    auto menu = std::make_shared<ActionMenu>();
    // The menu's "Type a value…" opens the entry over the chip, which exists
    // by the time anyone can click it.
    auto self = std::make_shared<kestrune::controls::ChipControl*>(nullptr);
    kestrune::controls::ChipCallables chip;
    chip.label = [parameters] { return LoudnessTargetLabel(parameters.value(ombrix::kLoudnessTarget)); };
    chip.menu = [menu, parameters, self, canvas] {
      const auto typeValue = [parameters, self] {
        if (*self != nullptr)
          (*self)->OpenTextEntry(LoudnessTargetEntryText(parameters.value(ombrix::kLoudnessTarget)), kCenter);
      };
      *menu = BuildLoudnessTargetMenu(parameters, typeValue, [canvas] { canvas->repaint(); });
      return menu->model;
    };
    chip.itemChosen = [menu](int index) { menu->Run(index); };
    chip.textEntered = [fromText = context_.callables->loudnessTargetFromText, canvas](const std::string& text) {
      if (fromText) fromText(text);
      canvas->repaint();
    };
    auto& control = Attach(entry, std::make_unique<kestrune::controls::ChipControl>(
                                      text_styles::Chip(), context_.palette, *context_.textEntry, std::move(chip)));
    *self = &control;
    controls_->followers.push_back(&control);
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
