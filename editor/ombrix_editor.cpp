#include "editor/ombrix_editor.h"

#include <cmath>

#include "OmbrixAssets.h"
#include "editor/editor_layout.h"
#include "editor/target_menu.h"
#include "editor/update_pill_control.h"
#include "plugin/editor_size.h"

namespace tonal_panel {

// The host may resize the window within the size rules; JUCE reads the
// limits and the aspect ratio from here, and checkBounds applies the rules
// themselves to resizes JUCE makes on its own.
class OmbrixEditor::SizeRules final : public juce::ComponentBoundsConstrainer {
 public:
  explicit SizeRules(const OmbrixEditor& editor) : editor_(editor) { Update(); }

  // Limits in logical pixels for the editor's current screen scale.
  void Update() {
    const float q = editor_.ScreenScale();
    const float maxScale = q > 1.0f ? 1.0f : 1.0f / q;
    setSizeLimits(static_cast<int>(std::ceil(ombrix::kMinEditorWidth / q)),
                  static_cast<int>(std::ceil(ombrix::kMinEditorHeight / q)),
                  static_cast<int>(ombrix::kMaxEditorWidth * maxScale),
                  static_cast<int>(ombrix::kMaxEditorHeight * maxScale));
    setFixedAspectRatio(ombrix::kEditorAspect);
  }

  void checkBounds(juce::Rectangle<int>& bounds, const juce::Rectangle<int>&, const juce::Rectangle<int>&, bool, bool,
                   bool, bool) override {
    const float q = editor_.ScreenScale();
    int w = static_cast<int>(std::lround(bounds.getWidth() * q));
    int h = static_cast<int>(std::lround(bounds.getHeight() * q));
    ombrix::ConstrainEditorResize(w, h, q);
    bounds.setSize(static_cast<int>(std::lround(w / q)), static_cast<int>(std::lround(h / q)));
  }

 private:
  const OmbrixEditor& editor_;
};

// Waits for the host to show the window at the small size, then grows it a
// moment later, so that the host takes the growth as a resize of a shown
// window.
class OmbrixEditor::Growth final : public juce::Timer {
 public:
  explicit Growth(OmbrixEditor& editor) : editor_(editor) { startTimer(kPollMs); }
  void timerCallback() override {
    if (!editor_.isShowing()) return;
    if (shownFor_ < kGrowthDelayMs) {
      shownFor_ += kPollMs;
      return;
    }
    stopTimer();
    editor_.GrowToOpeningScale();
  }

 private:
  static constexpr int kPollMs = 50;
  OmbrixEditor& editor_;
  int shownFor_ = 0;
};

OmbrixEditor::OmbrixEditor(juce::AudioProcessor& processor, ombrix::EditorCallables callables)
    : juce::AudioProcessorEditor(processor), callables_(std::move(callables)) {
  setOpaque(true);
  addAndMakeVisible(canvas_);
  canvas_.setBounds(0, 0, ombrix::kCanvasWidth, ombrix::kCanvasHeight);
  textEntry_ = std::make_unique<TextEntry>(canvas_);
  dialogs_ = std::make_unique<DialogBoxes>(canvas_);
  sizeRules_ = std::make_unique<SizeRules>(*this);
  Rebuild();
  setResizable(true, false);
  setConstrainer(sizeRules_.get());
  const float initial = callables_.initialDrawScale ? callables_.initialDrawScale() : 1.0f;
  const float smallest = static_cast<float>(ombrix::kMinEditorWidth) / ombrix::kCanvasWidth;
  if (callables_.opensAtSmallestSize && initial > smallest + 0.001f) {
    // The host sizes its window from what it sees first and never below it.
    openingScale_ = initial;
    SetDrawScale(smallest);
    setSize(ombrix::kMinEditorWidth, ombrix::kMinEditorHeight);
    growth_ = std::make_unique<Growth>(*this);
  } else {
    ResizeToDrawScale(initial);
  }
}

void OmbrixEditor::GrowToOpeningScale() {
  if (!openingScale_) return;
  const float scale = *openingScale_;
  openingScale_.reset();
  ResizeToDrawScale(scale);
}

OmbrixEditor::~OmbrixEditor() {
  if (callables_.editorClosing) callables_.editorClosing();
  fileChooser_.reset();
  dialogs_.reset();
  textEntry_->Dismiss();
  controls_.reset();
  setLookAndFeel(nullptr);
}

float OmbrixEditor::ScreenScale() const {
  const float q = juce::Component::getApproximateScaleFactorForComponent(const_cast<OmbrixEditor*>(this));
  return q > 0.0f ? q : 1.0f;
}

void OmbrixEditor::SetDrawScale(float scale) {
  drawScale_ = scale;
  canvas_.setTransform(juce::AffineTransform::scale(scale));
}

void OmbrixEditor::ResizeToDrawScale(float scale) {
  openingScale_.reset();  // a size chosen now wins over the one of opening
  SetDrawScale(scale);
  setSize(static_cast<int>(std::lround(ombrix::kCanvasWidth * scale)),
          static_cast<int>(std::lround(ombrix::kCanvasHeight * scale)));
}

void OmbrixEditor::paint(juce::Graphics& g) { g.fillAll(fixed_colours::WindowBackground()); }

void OmbrixEditor::resized() {
  // A resize by the host or by JUCE: the canvas follows the window.
  const float q = ScreenScale();
  int w = static_cast<int>(std::lround(getWidth() * q));
  int h = static_cast<int>(std::lround(getHeight() * q));
  ombrix::ConstrainEditorResize(w, h, q);
  const float scale = ombrix::DrawScaleFor(w, h, q);
  if (std::abs(scale - drawScale_) > 0.001f) SetDrawScale(scale);
  // The small size of opening is not the user's choice.
  if (callables_.rememberEditorSize && !openingScale_) callables_.rememberEditorSize(w, h, q);
}

ombrix::EditorTick OmbrixEditor::TickNow() const {
  ombrix::EditorTick tick;
  const auto on = [this](int index) { return callables_.parameters.value(index) >= 0.5; };
  tick.correct = on(ombrix::kCorrect);
  tick.freeze = on(ombrix::kFreeze);
  tick.bypassed = on(ombrix::kBypass);
  return tick;
}

void OmbrixEditor::Rebuild() {
  textEntry_->Dismiss();
  controls_.reset();
  const int theme = callables_.colourScheme ? callables_.colourScheme() : 0;
  const ombrix::RgbColour daw = callables_.dawAccent ? callables_.dawAccent() : ombrix::kDawAccentFallback;
  const Palette palette = MakePalette(ThemeAccent(theme, daw));
  setLookAndFeel(nullptr);
  lookAndFeel_ = std::make_unique<OmbrixLookAndFeel>(palette);
  setLookAndFeel(lookAndFeel_.get());

  LayoutContext context;
  context.callables = &callables_;
  context.palette = palette;
  context.textEntry = textEntry_.get();
  context.drawScale = [this] { return drawScale_; };
  context.resizeToDrawScale = [this](float scale) { ResizeToDrawScale(scale); };
  context.titleText = callables_.titleText ? callables_.titleText() : "OMBRIX";
  context.tick = TickNow();
  context.chooseReferenceFile = [this](std::function<void(const std::string&)> chosen) {
    ChooseReferenceFile(std::move(chosen));
  };
  context.logoData = OmbrixAssets::ombrixlockup_svg;
  context.logoSize = static_cast<std::size_t>(OmbrixAssets::ombrixlockup_svgSize);
  controls_ = BuildLayout(canvas_, context);
  dialogs_->BringToFront();  // boxes stay on top
  canvas_.repaint();
}

void OmbrixEditor::AskYesNo(const std::string& caption, const std::string& question,
                            std::function<void(bool yes)> answered) {
  dialogs_->Ask(caption, question, std::move(answered));
}

void OmbrixEditor::ShowMessage(const std::string& caption, const std::string& text) { dialogs_->Show(caption, text); }

void OmbrixEditor::ChooseReferenceFile(std::function<void(const std::string& path)> chosen) {
  if (fileChoiceForTesting_) {
    fileChoiceForTesting_(std::move(chosen));
    return;
  }
  fileChooser_ = std::make_unique<juce::FileChooser>("Learn from reference file", juce::File(),
                                                     juce::String(ReferenceFilePatterns()));
  fileChooser_->launchAsync(juce::FileBrowserComponent::openMode | juce::FileBrowserComponent::canSelectFiles,
                            [chosen = std::move(chosen)](const juce::FileChooser& chooser) {
                              const juce::File file = chooser.getResult();
                              chosen(file == juce::File() ? std::string() : file.getFullPathName().toStdString());
                            });
}

void OmbrixEditor::ShowTitle(const std::string& text) {
  if (controls_->title != nullptr) controls_->title->SetText(text);
}

void OmbrixEditor::ShowStatus(const std::string& text) {
  if (controls_->status != nullptr) controls_->status->SetText(text);
}

void OmbrixEditor::Tick(const ombrix::EditorTick& tick) {
  ApplyShades(*controls_, tick);
  // The live controls (spectrum, legend, readouts, loudness panel, target
  // chip, the captions with their live values) and every parameter-bound
  // control follow here: each repaints when what it shows has changed.
  for (TickFollower* follower : controls_->followers) follower->Follow();
  if (controls_->updatePill != nullptr) controls_->updatePill->Poll();
  pendingPaint_.Tick();
}

void OmbrixEditor::RefreshAll() {
  for (TickFollower* follower : controls_->followers) follower->Follow();
  canvas_.repaint();
}

}  // namespace tonal_panel
