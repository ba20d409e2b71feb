#include "editor/editor_layout.h"

#include "core/parameter_table.h"
#include "editor/corner_scale_control.h"
#include "editor/logo_control.h"
#include "editor/spectrum_control.h"
#include "editor/text_style.h"

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
      case ControlId::Spectrum: {
        const std::array<int, 3> crossovers{ombrix::kLowCrossover, ombrix::kMidCrossover, ombrix::kHighCrossover};
        const ombrix::EditorCallables& callables = *context_.callables;
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
      case ControlId::CornerScale:
        Attach(entry, std::make_unique<CornerScaleControl>(context_.drawScale, context_.resizeToDrawScale));
        break;
      default:
        break;
    }
    (void)palette;
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
