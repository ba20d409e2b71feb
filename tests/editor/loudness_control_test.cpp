// The loudness panel: what it shows for a reading (captions, colours against
// the tolerance, status, true peak), checked pixels, and its clicks.
#include "editor/loudness_control.h"

#include <gtest/gtest.h>

#include "plugin/ombrix.h"
#include "tests/editor/editor_fixtures.h"

namespace ombrix::test {
namespace {

using tonal_panel::Argb;
using tonal_panel::LoudnessControl;

const tonal_panel::Palette kPalette{};
const juce::Colour kBackground = Argb(255, 20, 20, 20);
constexpr float kL = 498, kT = 82;

juce::String Utf8(const char* s) { return juce::String::fromUTF8(s); }

dsp::LoudnessReading Reading(double shortTerm, double integrated, bool integratedMode) {
  dsp::LoudnessReading r;
  r.shortTerm = shortTerm;
  r.integrated = integrated;
  r.integratedMode = integratedMode;
  r.integratedSeconds = 30;
  return r;
}

TEST(LoudnessView, IntegratedCaptionShowsTheDuration) {
  const struct {
    double seconds;
    const char* caption;
  } cases[] = {
      {125.0, "INTEGRATED · 2:05"},   {125.99, "INTEGRATED · 2:05"},  // whole seconds, truncated
      {3599.0, "INTEGRATED · 59:59"}, {3725.0, "INTEGRATED · 1:02:05"}, {0.0, "INTEGRATED · 0:00"},
  };
  for (const auto& c : cases) {
    dsp::LoudnessReading r = Reading(-20, -20, true);
    r.integratedSeconds = c.seconds;
    EXPECT_EQ(LoudnessControl::ViewOf(r).caption, Utf8(c.caption)) << c.seconds;
  }
  EXPECT_EQ(LoudnessControl::ViewOf(Reading(-20, -20, false)).caption, "SHORT-TERM");
}

TEST(LoudnessView, ValueAndStatusAgainstTheTolerance) {
  const struct {
    dsp::LoudnessReading reading;
    bool off;
    const char* value;
    const char* status;
  } cases[] = {
      {Reading(-12.1, -40, false), false, "−12.1", "1.9 LU above target"},  // inside 2 LU
      {Reading(-40, -12.1, true), true, "−12.1", "1.9 LU above target"},    // outside 1 LU
      {Reading(-16.5, -40, false), true, "−16.5", "2.5 LU below target"},
      {Reading(-13.96, -40, false), false, "−14.0", "on target"},  // 0.04 LU
      {Reading(-150, -12, false), false, "−inf", "no signal"},
      {Reading(-12, -150, true), false, "−inf", "no signal"},
  };
  for (const auto& c : cases) {
    const auto view = LoudnessControl::ViewOf(c.reading);
    EXPECT_EQ(view.off, c.off) << c.value;
    EXPECT_EQ(view.value, Utf8(c.value));
    EXPECT_EQ(view.status, Utf8(c.status));
  }
}

TEST(LoudnessView, TruePeakAboveMinusOneIsCoral) {
  const struct {
    bool integratedMode;
    double recent, sinceReset;
    bool high;
    const char* value;
    const char* caption;
  } cases[] = {
      {false, -0.5, -3.0, true, "−0.5", "dBTP · above −1"},      {false, -1.0, 0.5, false, "−1.0", "dBTP · last 3 s"},
      {false, 0.3, -3.0, true, "+0.3", "dBTP · above −1"},       {true, -6.0, -0.5, true, "−0.5", "dBTP · since reset"},
      {false, -150.0, -150.0, false, "−inf", "dBTP · last 3 s"},
  };
  for (const auto& c : cases) {
    dsp::LoudnessReading r = Reading(-20, -20, c.integratedMode);
    r.truePeakRecent = c.recent;
    r.truePeakSinceReset = c.sinceReset;
    const auto view = LoudnessControl::ViewOf(r);
    EXPECT_EQ(view.peakHigh, c.high) << c.value;
    EXPECT_EQ(view.peakValue, Utf8(c.value));
    EXPECT_EQ(view.peakCaption, Utf8(c.caption));
  }
}

TEST(LoudnessView, RangeAndLoudestMomentaryAlwaysAndThePlrInTheIntegratedView) {
  const struct {
    bool integratedMode;
    double range, maxMomentary, integrated, peak;
    const char* programme;
    const char* ratio;
  } cases[] = {
      {false, 6.24, -16.04, -14.0, -1.5, "LRA 6.2 · M max −16.0", ""},
      {true, 6.24, -16.04, -14.0, -1.5, "LRA 6.2 · M max −16.0", "PLR 12.5 LU"},
      {true, 0.0, -9.0, -9.5, 0.4, "LRA 0.0 · M max −9.0", "PLR 9.9 LU"},
      {true, -150, -150, -150, -150, "LRA – · M max –", "PLR – LU"},
  };
  for (const auto& c : cases) {
    dsp::LoudnessReading r = Reading(-20, c.integrated, c.integratedMode);
    r.loudnessRange = c.range;
    r.maxMomentary = c.maxMomentary;
    r.truePeakSinceReset = c.peak;
    const auto view = LoudnessControl::ViewOf(r);
    EXPECT_EQ(view.programme, Utf8(c.programme));
    EXPECT_EQ(view.ratio, Utf8(c.ratio));
  }
}

struct LoudnessPanelTest : testing::Test {
  juce::Image Render(const dsp::LoudnessReading& r, float scale) {
    reading = r;
    auto control = std::make_unique<LoudnessControl>(
        kPalette, [this] { return reading; }, nullptr, nullptr);
    control->PlaceOnCanvas({498, 82, 122, 272}, LoudnessControl::kPaintMargin);
    return RenderOnCanvas(*control, scale, kBackground);
  }
  EditorFontsHeld fonts;
  dsp::LoudnessReading reading;
};

TEST_F(LoudnessPanelTest, LevelBarAndFigureTurnAmberOutsideTheTolerance) {
  // -12.1 against -14: inside the short-term 2 LU, outside the integrated 1 LU.
  const float barY = kT + 83;
  for (float scale : {1.0f, 2.0f}) {
    juce::Image image = Render(Reading(-12.1, -40, false), scale);
    EXPECT_TRUE(ColourNear(PixelAt(image, kL + 20, barY, scale), kPalette.accent)) << scale;
    EXPECT_TRUE(ColourNear(BrightestIn(image, {kL, kT + 16, 122, 42}, scale), kPalette.text, 8)) << scale;
    image = Render(Reading(-40, -12.1, true), scale);
    EXPECT_TRUE(ColourNear(PixelAt(image, kL + 20, barY, scale), kPalette.amber)) << scale;
    EXPECT_TRUE(ColourNear(BrightestIn(image, {kL, kT + 16, 122, 42}, scale), kPalette.amber, 8)) << scale;
    EXPECT_TRUE(ColourNear(BrightestIn(image, {kL, kT + 100, 122, 14}, scale), kPalette.amber, 12)) << "status";
  }
}

TEST_F(LoudnessPanelTest, SilenceHasNoLevelBarAndADimStatus) {
  for (float scale : {1.0f, 2.0f}) {
    const juce::Image image = Render(Reading(-150, -150, false), scale);
    EXPECT_TRUE(ColourNear(PixelAt(image, kL + 20, kT + 83, scale), kBackground.overlaidWith(kPalette.hairline)))
        << scale;
    EXPECT_TRUE(
        ColourNear(BrightestIn(image, {kL, kT + 100, 122, 14}, scale), kBackground.overlaidWith(kPalette.textDim), 12))
        << scale;
  }
}

TEST_F(LoudnessPanelTest, RangeLineUnderTheStatusAndPlrUnderThePeakOnlyWhenIntegrated) {
  const juce::Colour dim = kBackground.overlaidWith(kPalette.textDim);
  for (float scale : {1.0f, 2.0f}) {
    dsp::LoudnessReading r = Reading(-20, -20, false);
    r.loudnessRange = 6.0;
    r.maxMomentary = -17.0;
    r.truePeakSinceReset = -3.0;
    juce::Image image = Render(r, scale);
    EXPECT_TRUE(ColourNear(BrightestIn(image, {kL, kT + 113, 122, 10}, scale), dim, 12)) << scale;
    EXPECT_TRUE(ColourNear(BrightestIn(image, {kL, kT + 259, 122, 12}, scale), kBackground, 2)) << scale;
    r.integratedMode = true;
    image = Render(r, scale);
    EXPECT_TRUE(ColourNear(BrightestIn(image, {kL, kT + 259, 122, 12}, scale), dim, 12)) << scale;
  }
}

TEST_F(LoudnessPanelTest, TargetTickSitsOnTheTarget) {
  dsp::LoudnessReading r = Reading(-150, -150, false);
  r.target = -18;  // halfway along the -30..-6 bar
  for (float scale : {1.0f, 2.0f}) {
    const juce::Image image = Render(r, scale);
    const float x = kL + 6 + 55;
    EXPECT_TRUE(ColourNear(PixelAt(image, x - 0.5f, kT + 77, scale), kPalette.text)) << scale;
    EXPECT_TRUE(ColourNear(PixelAt(image, x + 3, kT + 77, scale), kBackground)) << scale;
  }
}

TEST_F(LoudnessPanelTest, TruePeakFigureIsCoralAboveMinusOne) {
  for (float scale : {1.0f, 2.0f}) {
    dsp::LoudnessReading r = Reading(-20, -20, false);
    r.truePeakRecent = -0.5;
    juce::Image image = Render(r, scale);
    EXPECT_TRUE(ColourNear(BrightestIn(image, {kL, kT + 210, 122, 30}, scale), kPalette.coral, 8)) << scale;
    r.truePeakRecent = -1.0;
    image = Render(r, scale);
    EXPECT_TRUE(ColourNear(BrightestIn(image, {kL, kT + 210, 122, 30}, scale), kPalette.text, 8)) << scale;
  }
}

TEST_F(LoudnessPanelTest, HoverFillsTheReadout) {
  auto control = std::make_unique<LoudnessControl>(
      kPalette, [] { return dsp::LoudnessReading{}; }, nullptr, nullptr);
  control->PlaceOnCanvas({498, 82, 122, 272}, LoudnessControl::kPaintMargin);
  control->mouseEnter(MouseAt(*control, {559, 120}, 0, {}));
  for (float scale : {1.0f, 2.0f}) {
    const juce::Image image = RenderOnCanvas(*control, scale, kBackground);
    const juce::Colour fill = kBackground.overlaidWith(Argb(10, 250, 250, 250));
    EXPECT_TRUE(ColourNear(PixelAt(image, kL + 3, kT - 1, scale), fill)) << "two pixels above the panel";
    EXPECT_TRUE(ColourNear(PixelAt(image, kL + 3, kT + 150, scale), kBackground)) << "only the readout";
  }
}

// Clicks against the real plug-in's view flag and meter reset.
struct LoudnessClickTest : testing::Test {
  LoudnessClickTest() {
    canvas.setBounds(0, 0, 640, 400);
    canvas.setVisible(true);
    control = std::make_unique<LoudnessControl>(
        kPalette, [this] { return plugin.LoudnessReadingNow(); }, [this] { plugin.ToggleLoudnessView(false); },
        [this] { plugin.ToggleLoudnessView(true); });
    control->PlaceOnCanvas({498, 82, 122, 272}, LoudnessControl::kPaintMargin);
    canvas.addAndMakeVisible(*control);
    plugin.prepareToPlay(48000.0, 512);
  }
  // A second of noise, so the integrated meter has something to reset.
  void PlayNoise() {
    juce::AudioBuffer<double> b(2, 48000);
    juce::Random random(7);
    for (int ch = 0; ch < 2; ++ch)
      for (int i = 0; i < b.getNumSamples(); ++i) b.setSample(ch, i, 0.5 * (random.nextDouble() - 0.5));
    Process(b);
  }
  void Process(juce::AudioBuffer<double>& b) {
    juce::MidiBuffer midi;
    plugin.processBlock(b, midi);
  }
  void DoubleClick(juce::Point<float> p) {
    control->mouseDown(MouseAt(*control, p, 1));
    control->mouseDown(MouseAt(*control, p, 2));
    control->mouseDoubleClick(MouseAt(*control, p, 2));
  }

  EditorFontsHeld fonts;
  Ombrix plugin;
  juce::Component canvas;
  std::unique_ptr<LoudnessControl> control;
};

TEST_F(LoudnessClickTest, AClickTogglesTheViewADoubleClickKeepsItAndResetsTheMeters) {
  control->mouseDown(MouseAt(*control, {559, 130}));
  EXPECT_TRUE(plugin.LoudnessView());
  control->mouseDown(MouseAt(*control, {559, 130}));
  EXPECT_FALSE(plugin.LoudnessView());

  PlayNoise();
  ASSERT_GT(plugin.Readout(kIntegratedSeconds), 0.5f);
  DoubleClick({559, 130});
  EXPECT_FALSE(plugin.LoudnessView()) << "the view stays";
  juce::AudioBuffer<double> empty(2, 0);
  Process(empty);  // the audio side takes the request
  EXPECT_EQ(plugin.Readout(kIntegratedSeconds), 0.0f);
  EXPECT_EQ(plugin.Readout(kMaxTruePeak), -150.0f);
}

TEST_F(LoudnessClickTest, OnlyTheReadoutTakesTheMouse) {
  const struct {
    juce::Point<float> p;
    bool hit;
  } cases[] = {
      {{498, 82}, true},   {{620, 200}, true},  {{559, 200}, true},
      {{559, 201}, false}, {{559, 241}, false},  // the target chip's place
      {{559, 305}, false},                       // the true-peak figure
      {{497, 120}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(control->IsHit(c.p), c.hit) << c.p.toString();
    EXPECT_EQ(canvas.getComponentAt(c.p.toInt()) == control.get(), c.hit) << c.p.toString();
  }
}

}  // namespace
}  // namespace ombrix::test
