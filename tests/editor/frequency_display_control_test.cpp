// The spectrum display: the window's top level, what it draws at chosen
// pixels at draw scales 1 and 2, the crossover labels, and the markers under
// the mouse (hover, drags and typed values as host gestures).
#include "editor/frequency_display_control.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

#include "core/frequency_grid.h"
#include "editor/editor_layout.h"
#include "editor/ombrix_editor.h"
#include "plugin/ombrix.h"
#include "tests/editor/editor_fixtures.h"

namespace ombrix::test {
namespace {

using dsp::GridCurve;
using dsp::SpectrumView;
using tonal_panel::Argb;
using tonal_panel::SpectrumControl;

constexpr float kLeft = 22.0f, kTop = 108.0f, kRight = 478.0f, kBottom = 252.0f;
constexpr float kScales[] = {1.0f, 2.0f};

GridCurve Constant(double db) {
  GridCurve curve;
  curve.fill(db);
  return curve;
}

// The whole grid valid (48 kHz), a flat target with the narrowest band
// (±3 dB, so the window's top is 24 dB), the input on the target and the
// fast input out of sight below the plot.
SpectrumView FlatView() {
  SpectrumView view;
  view.valid = dsp::ValidPointsAt(48000.0);
  view.target = Constant(0.0);
  view.spread = Constant(0.0);
  view.inputSpectrum = Constant(0.0);
  view.inputFast = Constant(-100.0);
  view.inputValid = true;
  return view;
}

float XOf(double hz) { return kLeft + static_cast<float>(std::log(hz / 20.0) / std::log(1000.0)) * (kRight - kLeft); }
// Where a level lies while the window's top is at 24 dB.
float YAtTop24(double db) { return kTop + static_cast<float>((24.0 - db) / 48.0) * (kBottom - kTop); }

// How much white lies over a base colour: 0 for the base itself, 1 for
// opaque white text.
float WhiteOver(juce::Colour pixel, juce::Colour base) {
  const auto part = [](int p, int b) { return (p - b) / (250.0f - b); };
  return (part(pixel.getRed(), base.getRed()) + part(pixel.getGreen(), base.getGreen()) +
          part(pixel.getBlue(), base.getBlue())) /
         3.0f;
}

struct SpectrumControlTest : testing::Test {
  SpectrumControlTest() { control.PlaceOnCanvas(juce::Rectangle<int>::leftTopRightBottom(22, 108, 478, 252)); }

  juce::Image Render(float scale) { return RenderOnCanvas(control, scale, tonal_panel::fixed_colours::Card()); }
  void Press(float x) { control.mouseDown(MouseAt(control, {x, 180.0f})); }
  void DragTo(float x) { control.mouseDrag(MouseAt(control, {x, 180.0f})); }
  void Release(float x) { control.mouseUp(MouseAt(control, {x, 180.0f})); }

  juce::Colour Ink() const { return palette.ink; }
  juce::Colour Band() const { return Ink().overlaidWith(palette.accent.withAlpha(static_cast<juce::uint8>(71))); }
  juce::Colour Deviation() const {
    return Ink().overlaidWith(palette.complement.withAlpha(static_cast<juce::uint8>(204)));
  }

  EditorFontsHeld fonts;
  FakeParameters parameters;
  SpectrumView view = FlatView();
  tonal_panel::Palette palette = tonal_panel::MakePalette(tonal_panel::ThemeAccent(0, kDawAccentFallback));
  juce::Component canvas;
  tonal_panel::TextEntry entry{canvas};
  SpectrumControl control{{kLowCrossover, kMidCrossover, kHighCrossover},
                          palette,
                          tonal_panel::text_styles::Small(),
                          [this]() -> const SpectrumView& { return view; },
                          parameters.Callables(),
                          entry};
};

TEST(SpectrumTopLevel, KeepsTheTargetBandInTheWindow) {
  const struct {
    const char* why;
    double target, spread;
    bool valid;
    double previous, top;
  } cases[] = {
      {"no valid point: the top stays", 0.0, 0.0, false, 24.0, 24.0},
      {"no valid point: the top stays where it was moved", 0.0, 0.0, false, 7.5, 7.5},
      {"a narrow band is centred", 0.0, 0.0, true, 7.5, 24.0},
      {"a spread below 3 dB counts as 3", -20.0, 1.0, true, 24.0, 4.0},
      {"a band spanning 40 dB is centred", -10.0, 20.0, true, 24.0, 14.0},
      {"42 dB is the widest span still centred", -10.0, 21.0, true, 24.0, 14.0},
      {"a wider band has its top 3 dB below the edge", -10.0, 21.5, true, 24.0, 14.5},
  };
  for (const auto& c : cases) {
    SpectrumView view;
    view.target = Constant(c.target);
    view.spread = Constant(c.spread);
    view.valid.fill(c.valid);
    EXPECT_DOUBLE_EQ(tonal_panel::AutoTopLevel(view, c.previous), c.top) << c.why;
  }
}

TEST(SpectrumTopLevel, OnlyPointsFrom30HzTo16kHzCount) {
  SpectrumView view = FlatView();
  // 20 Hz and 20 kHz lie outside the range; the points just inside it count.
  view.target.front() = 60.0;
  view.target.back() = -60.0;
  EXPECT_DOUBLE_EQ(tonal_panel::AutoTopLevel(view, 0.0), 24.0);
  std::size_t first = 0;
  while (dsp::GridFrequency(first) < 30.0) ++first;
  view.target[first] = 20.0;  // band 17..23 dB beside -3..3: 26 dB, centred
  EXPECT_DOUBLE_EQ(tonal_panel::AutoTopLevel(view, 0.0), 10.0 + 24.0);
}

TEST_F(SpectrumControlTest, TheWindowFollowsTheTargetAndStaysWithoutOne) {
  view.target = Constant(-10.0);
  view.spread = Constant(20.0);  // the band spans -30..10 dB: the top goes to 14 dB
  for (float scale : kScales) {
    const juce::Image image = Render(scale);
    EXPECT_DOUBLE_EQ(control.TopLevel(), 14.0);
    EXPECT_TRUE(ColourNear(PixelAt(image, 300.5f, 121.5f, scale), Band())) << "the band's top at 120";
    EXPECT_TRUE(ColourNear(PixelAt(image, 300.5f, 118.5f, scale), Ink())) << scale;
    EXPECT_TRUE(ColourNear(PixelAt(image, 300.5f, 114.5f, scale), Ink().overlaidWith(Argb(13, 250, 250, 250))))
        << "the grid line of 12 dB";
  }
  view.valid.fill(false);
  view.target = Constant(30.0);  // not valid: no reason to move
  Render(1.0f);
  EXPECT_DOUBLE_EQ(control.TopLevel(), 14.0);
}

TEST_F(SpectrumControlTest, NoSignalReplacesTheInput) {
  // A wide band (-20..20 dB) under the whole box, the input inside it and
  // clear of the box, the fast input's area over the lower half.
  view.spread = Constant(20.0);
  view.inputSpectrum = Constant(15.0);
  view.inputFast = Constant(0.0);
  const juce::Colour area = Band().overlaidWith(Argb(46, 250, 250, 250));
  for (bool input : {true, false}) {
    view.inputValid = input;
    for (float scale : kScales) {
      const juce::Image image = Render(scale);
      EXPECT_TRUE(ColourNear(PixelAt(image, 100.5f, 230.5f, scale), input ? area : Band())) << input << scale;
      // Text pixels in "NO SIGNAL"'s box: white well above the band under it.
      int textPixels = 0;
      for (int y = static_cast<int>(173 * scale); y < static_cast<int>(187 * scale); ++y)
        for (int x = static_cast<int>(190 * scale); x < static_cast<int>(310 * scale); ++x)
          if (WhiteOver(image.getPixelAt(x, y), Band()) > 0.3f) ++textPixels;
      if (input)
        EXPECT_EQ(textPixels, 0) << scale;
      else
        EXPECT_GT(textPixels, 10) << scale;
    }
  }
}

TEST_F(SpectrumControlTest, DeviationsAreFilledOnlyOutsideTheBand) {
  // Above the band from point 40 to 100 (12 dB), below it from 130 to 160.
  for (std::size_t i = 40; i <= 100; ++i) view.inputSpectrum[i] = 12.0;
  for (std::size_t i = 130; i <= 160; ++i) view.inputSpectrum[i] = -12.0;
  const struct {
    const char* where;
    float x;
    double db;
    bool deviation;
  } pixels[] = {
      {"above the band", 250.5f, 7.5, true},
      {"inside the band", 250.5f, 1.2, false},
      {"below the band", 405.5f, -7.5, true},
      {"input inside the band, above", 320.5f, 7.5, false},
      {"input inside the band, below", 320.5f, -7.5, false},
  };
  for (float scale : kScales) {
    const juce::Image image = Render(scale);
    for (const auto& p : pixels) {
      const bool inBand = std::abs(p.db) < 3.0;
      const juce::Colour expected = p.deviation ? Deviation() : inBand ? Band() : Ink();
      EXPECT_TRUE(ColourNear(PixelAt(image, p.x, YAtTop24(p.db), scale), expected)) << p.where << " at " << scale;
    }
  }
}

TEST_F(SpectrumControlTest, CurvesStopAtTheLastValidPoint) {
  // At 32 kHz the points from about 15.1 kHz up are not valid; their values
  // are the same as below, so anything drawn past the last valid point shows.
  view.valid = dsp::ValidPointsAt(32000.0);
  view.inputSpectrum = Constant(12.0);
  view.correcting = true;
  view.correctionCurve = Constant(3.0);
  std::size_t last = 0;
  while (view.valid[last + 1]) ++last;
  const float lastX = XOf(dsp::GridFrequency(last));
  ASSERT_GT(lastX, 450.0f);
  ASSERT_LT(lastX, 465.0f);
  const juce::Colour correctionArea = Ink().overlaidWith(palette.accent.withAlpha(static_cast<juce::uint8>(40)));
  for (float scale : kScales) {
    const juce::Image image = Render(scale);
    const struct {
      const char* what;
      float y;
      juce::Colour drawn;
    } rows[] = {{"band", YAtTop24(1.2), Band()},
                {"deviation", YAtTop24(7.5), Deviation()},
                {"correction area", 195.5f, correctionArea}};
    for (const auto& row : rows) {
      EXPECT_TRUE(ColourNear(PixelAt(image, lastX - 15.0f, row.y, scale), row.drawn)) << row.what << " " << scale;
      EXPECT_TRUE(ColourNear(PixelAt(image, lastX + 8.0f, row.y, scale), Ink())) << row.what << " " << scale;
    }
  }
}

TEST_F(SpectrumControlTest, TheOutputIsDashedFourOnThreeOffAcrossVertices) {
  view.outputValid = true;
  view.outputSpectrum = Constant(24.0 - (210.5 - kTop) / 3.0);  // a flat line along the middle of pixel row 210
  const juce::Colour dash = Ink().overlaidWith(Argb(190, 250, 250, 250));
  for (float scale : kScales) {
    const juce::Image image = Render(scale);
    // Dash k covers 7k..7k+4 pixels from the left edge, the gap 7k+4..7k+7.
    for (int k : {0, 20, 40, 60}) {
      const float x = kLeft + 7.0f * k;
      EXPECT_TRUE(ColourNear(PixelAt(image, x + 1.5f, 210.5f, scale), dash)) << "dash " << k << " at " << scale;
      EXPECT_TRUE(ColourNear(PixelAt(image, x + 5.5f, 210.5f, scale), Ink())) << "gap " << k << " at " << scale;
    }
  }
}

TEST_F(SpectrumControlTest, TheCorrectionPillSaysFrozenOrZeroDb) {
  view.inputValid = false;
  view.correcting = true;
  view.correctionCurve = Constant(0.0);
  // The pill ends 4 pixels before the right edge and is its text's width
  // plus 10: "FROZEN" reaches further left than "0 dB".
  const float zeroLeft = kRight - 4.0f - (tonal_panel::TextWidth(tonal_panel::text_styles::Small(), "0 dB") + 10.0f);
  const float frozenLeft =
      kRight - 4.0f - (tonal_panel::TextWidth(tonal_panel::text_styles::Small(), "FROZEN") + 10.0f);
  ASSERT_LT(frozenLeft + 6.5f, zeroLeft - 2.0f);
  const float onlyFrozen = zeroLeft - 1.5f, both = kRight - 4.0f - 14.0f, aboveText = 199.5f;
  for (bool frozen : {false, true}) {
    view.frozen = frozen;
    for (float scale : kScales) {
      const juce::Image image = Render(scale);
      const juce::Colour pill = frozen ? palette.accent : Ink().overlaidWith(Argb(230, 42, 42, 42));
      EXPECT_TRUE(ColourNear(PixelAt(image, both, aboveText, scale), pill)) << frozen << " " << scale;
      EXPECT_TRUE(ColourNear(PixelAt(image, onlyFrozen, aboveText, scale), frozen ? palette.accent : Ink()))
          << frozen << " " << scale;
    }
  }
}

TEST(SpectrumCrossoverLabel, ShortKilohertzTexts) {
  const struct {
    double hz;
    const char* label;
  } cases[] = {
      {1000.0, "1k"}, {6000.0, "6k"},   {2500.0, "2.5k"}, {12000.0, "12k"}, {800.0, "800"}, {60.0, "60"},
      {1960.0, "2k"}, {9940.0, "9.9k"}, {9950.0, "10k"},  {16000.0, "16k"}, {999.4, "999"},
  };
  for (const auto& c : cases) EXPECT_EQ(tonal_panel::CrossoverLabel(c.hz), c.label) << c.hz;
}

TEST_F(SpectrumControlTest, TheNearestMarkerWithinTenPixels) {
  const struct {
    const char* why;
    double low, mid, high;
    float x;
    int marker;
  } cases[] = {
      {"on the Mid marker", 200, 2000, 6000, XOf(2000), 1},
      {"9.5 pixels right of it", 200, 2000, 6000, XOf(2000) + 9.5f, 1},
      {"10.5 pixels left of it", 200, 2000, 6000, XOf(2000) - 10.5f, SpectrumControl::kNoMarker},
      {"High", 200, 2000, 6000, XOf(6000) - 3.0f, 2},
      {"the nearer of two in reach", 600, 700, 6000, XOf(700) - 2.0f, 1},
      {"a tie keeps Low", 600, 600, 6000, XOf(600), 0},
      {"a tie keeps Mid", 200, 3000, 3000, XOf(3000), 1},
  };
  for (const auto& c : cases) {
    parameters[kLowCrossover] = c.low;
    parameters[kMidCrossover] = c.mid;
    parameters[kHighCrossover] = c.high;
    EXPECT_EQ(control.GetValIdxForPos(c.x, 240.0f), c.marker) << c.why;
  }
}

TEST_F(SpectrumControlTest, DraggingKeepsAnOctaveToTheNeighboursAndTheRange) {
  const struct {
    const char* why;
    int param;
    double low, mid, high;
    float to;
    double value;
  } cases[] = {
      {"Mid toward Low stops at twice Low", kMidCrossover, 200, 2000, 6000, kLeft - 40.0f, 400.0},
      {"Mid far right stops at half High", kMidCrossover, 200, 2000, 6000, kRight + 40.0f, 3000.0},
      {"Mid between its neighbours", kMidCrossover, 200, 2000, 6000, XOf(1000), 1000.0},
      {"Low far left stops at its minimum", kLowCrossover, 200, 2000, 6000, kLeft, 60.0},
      {"Low toward Mid stops at half Mid", kLowCrossover, 200, 1000, 6000, XOf(900), 500.0},
      {"Low far right stops at its maximum", kLowCrossover, 200, 4000, 9000, kRight, 800.0},
      {"High toward Mid stops at twice Mid", kHighCrossover, 200, 2000, 6000, kLeft, 4000.0},
      {"High far right stops at its maximum", kHighCrossover, 200, 2000, 6000, kRight + 40.0f, 16000.0},
  };
  for (const auto& c : cases) {
    FakeParameters fresh;
    parameters = fresh;
    parameters[kLowCrossover] = c.low;
    parameters[kMidCrossover] = c.mid;
    parameters[kHighCrossover] = c.high;
    const float from = XOf(parameters[c.param]);
    Press(from);
    DragTo((from + c.to) / 2.0f);
    DragTo(c.to);
    Release(c.to);
    EXPECT_NEAR(parameters[c.param], c.value, 0.05) << c.why;
    EXPECT_TRUE(parameters.EditsAreGestures(c.param)) << c.why;
    ASSERT_FALSE(parameters.Edits().empty());
    EXPECT_EQ(parameters.Edits().front().kind, FakeParameters::Edit::Kind::Begin) << c.why;
    EXPECT_EQ(parameters.Edits().back().kind, FakeParameters::Edit::Kind::End) << c.why;
    for (const auto& edit : parameters.Edits()) EXPECT_EQ(edit.index, c.param) << c.why;
    EXPECT_EQ(control.DragIndex(), SpectrumControl::kNoMarker);
  }
}

TEST_F(SpectrumControlTest, APressAwayFromTheMarkersEditsNothing) {
  Press(XOf(600));
  DragTo(XOf(700));
  Release(XOf(700));
  EXPECT_TRUE(parameters.Edits().empty());
  EXPECT_EQ(parameters[kMidCrossover], 2000.0);
}

TEST_F(SpectrumControlTest, HoverLightsTheMarkerAndSetsTheResizeCursor) {
  const float x = std::round(XOf(2000)) + 0.5f, labelTop = kTop + 2.5f;  // above the label's text
  const juce::Colour normal = Argb(255, 42, 42, 42);
  for (float scale : kScales) EXPECT_TRUE(ColourNear(PixelAt(Render(scale), x, labelTop, scale), normal));

  control.mouseMove(MouseAt(control, {XOf(2000) + 4.0f, 200.0f}));
  EXPECT_EQ(control.HoverIndex(), 1);
  EXPECT_TRUE(control.getMouseCursor() == juce::MouseCursor::LeftRightResizeCursor);
  for (float scale : kScales) EXPECT_TRUE(ColourNear(PixelAt(Render(scale), x, labelTop, scale), palette.text));

  control.mouseExit(MouseAt(control, {kRight + 5.0f, 200.0f}));
  EXPECT_EQ(control.HoverIndex(), SpectrumControl::kNoMarker);
  EXPECT_TRUE(control.getMouseCursor() == juce::MouseCursor::NormalCursor);
  for (float scale : kScales) EXPECT_TRUE(ColourNear(PixelAt(Render(scale), x, labelTop, scale), normal));
}

TEST_F(SpectrumControlTest, DoubleClickTypesACrossover) {
  const struct {
    const char* typed;
    double value;  // 2000 when nothing is sent
    bool sent;
  } cases[] = {
      {"2.5k", 2500.0, true}, {"900 Hz", 900.0, true},     {"50", 400.0, true},
      {"abc", 2000.0, false}, {"2.00 kHz", 2000.0, false},  // as shown: nothing to send
  };
  for (const auto& c : cases) {
    FakeParameters fresh;
    parameters = fresh;
    control.mouseDoubleClick(MouseAt(control, {XOf(2000) + 2.0f, 150.0f}, 2));
    ASSERT_TRUE(entry.IsOpen());
    EXPECT_EQ(entry.Field()->getText(), "2.00 kHz");
    entry.Field()->setText(c.typed);
    entry.Field()->onReturnKey();  // what the field calls for a Return key press
    EXPECT_FALSE(entry.IsOpen());
    EXPECT_EQ(parameters[kMidCrossover], c.value) << c.typed;
    EXPECT_EQ(parameters.EditsAreGestures(kMidCrossover), c.sent) << c.typed;
  }
  control.mouseDoubleClick(MouseAt(control, {XOf(600), 150.0f}, 2));
  EXPECT_FALSE(entry.IsOpen()) << "no marker there";
  // The entry deletes each closed field from the message loop, where the
  // deletions are queued by now.
  juce::MessageManager::getInstance()->runDispatchLoopUntil(20);
}

TEST_F(SpectrumControlTest, RepaintsOnlyForChangesThatCanBeSeen) {
  view.outputValid = true;
  view.correcting = true;
  const tonal_panel::SpectrumAppearance base = control.AppearanceOf(view, 24.0);
  EXPECT_EQ(control.AppearanceOf(view, 24.0), base);
  // 3 pixels per dB: a hundredth of a dB moves nothing by a quarter pixel.
  SpectrumView slight = view;
  for (double& v : slight.inputSpectrum) v += 0.01;
  for (double& v : slight.correctionCurve) v += 0.01;
  EXPECT_EQ(control.AppearanceOf(slight, 24.0), base);
  // A NaN drawn as empty stays unchanged.
  SpectrumView nan = view;
  nan.inputFast[3] = std::nan("");
  EXPECT_EQ(control.AppearanceOf(nan, 24.0), control.AppearanceOf(nan, 24.0));

  const std::function<void(SpectrumView&)> changes[] = {
      [](SpectrumView& v) { v.inputSpectrum[170] += 0.5; },   [](SpectrumView& v) { v.target[0] += 0.5; },
      [](SpectrumView& v) { v.spread[90] += 5.0; },           [](SpectrumView& v) { v.inputFast[1] = -20.0; },
      [](SpectrumView& v) { v.outputSpectrum[2] += 0.5; },    [](SpectrumView& v) { v.outputValid = false; },
      [](SpectrumView& v) { v.correctionCurve[100] += 0.5; }, [](SpectrumView& v) { v.correcting = false; },
      [](SpectrumView& v) { v.frozen = true; },               [](SpectrumView& v) { v.valid[170] = false; },
      [](SpectrumView& v) { v.inputValid = false; },
  };
  for (std::size_t k = 0; k < std::size(changes); ++k) {
    SpectrumView changed = view;
    changes[k](changed);
    EXPECT_NE(control.AppearanceOf(changed, 24.0), base) << "change " << k;
  }
  EXPECT_NE(control.AppearanceOf(view, 25.0), base) << "the window moved";
  // Beyond the valid extent (at 32 kHz, up to 16 kHz) nothing is drawn, so
  // nothing there counts.
  SpectrumView low = view;
  low.valid = dsp::ValidPointsAt(32000.0);
  const std::size_t firstInvalid = static_cast<std::size_t>(std::count(low.valid.begin(), low.valid.end(), true));
  ASSERT_LT(firstInvalid, low.inputSpectrum.size());
  SpectrumView past = low;
  past.inputSpectrum[firstInvalid] += 20.0;
  EXPECT_EQ(control.AppearanceOf(past, 24.0), control.AppearanceOf(low, 24.0));
}

TEST(SpectrumInTheEditor, SitsAtItsPlaceAndDragsThePluginsCrossover) {
  Ombrix plugin;
  std::unique_ptr<tonal_panel::OmbrixEditor> editor(
      dynamic_cast<tonal_panel::OmbrixEditor*>(plugin.createEditorIfNeeded()));
  ASSERT_NE(editor, nullptr);
  auto* spectrum = dynamic_cast<SpectrumControl*>(editor->Controls().Tagged(tonal_panel::kSpectrumTag));
  ASSERT_NE(spectrum, nullptr);
  EXPECT_EQ(spectrum->getBounds(), juce::Rectangle<int>::leftTopRightBottom(22, 108, 478, 252));
  const auto& followers = editor->Controls().followers;
  EXPECT_NE(std::find(followers.begin(), followers.end(), spectrum), followers.end());

  const float from = XOf(plugin.ParamValue(kMidCrossover));
  spectrum->mouseDown(MouseAt(*spectrum, {from, 200.0f}));
  spectrum->mouseDrag(MouseAt(*spectrum, {XOf(1000), 200.0f}));
  spectrum->mouseUp(MouseAt(*spectrum, {XOf(1000), 200.0f}));
  EXPECT_NEAR(plugin.ParamValue(kMidCrossover), 1000.0, 0.5);
  plugin.editorBeingDeleted(editor.get());
}

}  // namespace
}  // namespace ombrix::test
