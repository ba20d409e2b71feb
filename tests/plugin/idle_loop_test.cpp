// The idle tick without an editor: freeze capture and preset tracking.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "plugin/idle_ticker.h"
#include "plugin/ombrix.h"
#include "plugin/editor_callables.h"
#include "library/plugin_state.h"

namespace ombrix {
namespace {

struct IdleLoopTest : testing::Test {
  // Switching "Freeze" on from the host requests a capture of what is applied.
  void FreezeFromHost(const CorrectionGains& applied) {
    plugin.Published().SetAppliedCopy(applied);
    plugin.Parameter(kFreeze).setValueNotifyingHost(1.0f);
    ASSERT_TRUE(plugin.CapturePending());
  }
  double Frozen(std::size_t k) { return plugin.ParamValue(kFrozenParams[k]); }
  Ombrix plugin;
};

TEST_F(IdleLoopTest, FreezeByAutomationIsCapturedOnTheNextTickWithoutAnEditor) {
  ASSERT_EQ(plugin.getActiveEditor(), nullptr);
  FreezeFromHost({1.0, -2.0, 0.5, 3.0, -1.25});  // amounts at their default 50 %
  plugin.OnIdle();
  EXPECT_FALSE(plugin.CapturePending());
  const double expected[] = {2.0, -4.0, 1.0, 6.0, -2.5};
  for (std::size_t k = 0; k < 5; ++k) EXPECT_NEAR(Frozen(k), expected[k], 1e-6) << k;
  EXPECT_TRUE(plugin.FrozenValuesApply());
}

TEST_F(IdleLoopTest, CaptureAtZeroAmountAndBeyondTheRange) {
  plugin.Parameter(kCorrectLow).SetReal(0.0);
  plugin.Parameter(kCorrectTilt).SetReal(10.0);  // amount 0.1: a 3 dB gain would be 30 dB
  FreezeFromHost({3.0, 5.0, -13.0, 0.0, 0.0});
  plugin.OnIdle();
  EXPECT_EQ(Frozen(0), 24.0);
  EXPECT_EQ(Frozen(1), 0.0) << "Correct Low at 0 % captures 0 dB";
  EXPECT_EQ(Frozen(2), -24.0);
}

TEST_F(IdleLoopTest, RestoringAFrozenStateRequestsNoCapture) {
  Ombrix source;
  source.Parameter(kFreeze).SetReal(1.0);
  source.Parameter(kFrozenLow).SetReal(4.0);
  const auto state = source.SerializeState();
  plugin.UnserializeState(state.data(), static_cast<int>(state.size()), 0);
  EXPECT_FALSE(plugin.CapturePending());
  EXPECT_TRUE(plugin.FrozenValuesApply());
  EXPECT_EQ(plugin.ParamValue(kFrozenLow), 4.0);
}

TEST_F(IdleLoopTest, AFrozenValueFromTheHostCancelsAPendingCapture) {
  FreezeFromHost({1.0, 1.0, 1.0, 1.0, 1.0});
  plugin.Parameter(kFrozenHigh).setValueNotifyingHost(0.75f);
  EXPECT_FALSE(plugin.CapturePending());
}

// A state as a preset leaves it: named, optionally marked modified.
std::vector<std::uint8_t> PresetState(bool modified) {
  Ombrix source;
  source.Parameter(kLowCrossover).SetReal(150.0);
  auto state = source.SerializeState();
  PluginState s;
  ReadState(ByteChunk(state.data(), state.size()), 0, s);
  s.presetName = "Night drive";
  s.presetModified = modified;
  ByteChunk chunk;
  WriteState(s, chunk);
  return chunk.Bytes();
}

TEST_F(IdleLoopTest, PresetModifiedTracking) {
  const auto state = PresetState(false);
  plugin.UnserializeState(state.data(), static_cast<int>(state.size()), 0);
  plugin.OnIdle();
  EXPECT_EQ(plugin.PresetName(), "Night drive");
  EXPECT_FALSE(plugin.PresetShownModified());

  plugin.Parameter(kLowCrossover).SetReal(150.0 * (1.0 + 0.5e-6));  // below 1e-6 relative
  plugin.OnIdle();
  EXPECT_FALSE(plugin.PresetShownModified());

  plugin.Parameter(kLowCrossover).SetReal(151.0);
  plugin.OnIdle();
  EXPECT_TRUE(plugin.PresetShownModified());
}

TEST_F(IdleLoopTest, StateSavedWithAModifiedPresetShowsModifiedAfterTheNextTick) {
  const auto state = PresetState(true);
  plugin.UnserializeState(state.data(), static_cast<int>(state.size()), 0);
  plugin.OnIdle();
  EXPECT_TRUE(plugin.PresetShownModified());
  // Saved again, it stays marked.
  const auto again = plugin.SerializeState();
  Ombrix other;
  other.UnserializeState(again.data(), static_cast<int>(again.size()), 0);
  other.OnIdle();
  EXPECT_TRUE(other.PresetShownModified());
}

TEST_F(IdleLoopTest, TrackTitleAndColourFromTheChannelContext) {
  plugin.OnIdle();
  EXPECT_EQ(plugin.TitleText(), "") << "no host track information";
  EXPECT_EQ(plugin.LastTrackColourKey(), -1);

  juce::AudioProcessor::TrackProperties track;
  track.name = "Vox";
  track.colour = juce::Colour(0xff204080);
  plugin.updateTrackProperties(track);
  plugin.OnIdle();
  EXPECT_EQ(plugin.TitleText(), "Vox");
  EXPECT_EQ(plugin.LastTrackColourKey(), 0x204080);
}

// Instances tick together on one timer's tick; an instance that is gone is never
// ticked again (ASan would see its freed memory), and the others go on.
TEST(IdleTicker, EveryInstanceTicksOnTheSharedTimerUntilItIsDestroyed) {
  juce::SharedResourcePointer<IdleTicker> ticker;
  const std::size_t before = ticker->Instances();
  auto first = std::make_unique<Ombrix>();
  auto second = std::make_unique<Ombrix>();
  EXPECT_EQ(ticker->Instances(), before + 2);

  const auto freezeAndTick = [&ticker](std::vector<Ombrix*> plugins) {
    for (Ombrix* p : plugins) {
      p->Parameter(kFreeze).setValueNotifyingHost(0.0f);
      p->Parameter(kFreeze).setValueNotifyingHost(1.0f);
      EXPECT_TRUE(p->CapturePending());
    }
    ticker->Tick();
    return std::none_of(plugins.begin(), plugins.end(), [](Ombrix* p) { return p->CapturePending(); });
  };
  EXPECT_TRUE(freezeAndTick({first.get(), second.get()}));
  first.reset();
  EXPECT_EQ(ticker->Instances(), before + 1);
  EXPECT_TRUE(freezeAndTick({second.get()}));
}

}  // namespace
}  // namespace ombrix

namespace ombrix {
namespace {

TEST(EditorCallables, LoudnessTargetTypedAsText) {
  Ombrix plugin;
  const auto callables = MakeEditorCallables(plugin);
  struct Case { const char* text; double expected; };
  for (const Case& c : {Case{"14", -14.0}, Case{"-9.74", -9.5}, Case{"9.75", -10.0}, Case{"3", -6.0},
                        Case{"80 LUFS", -36.0}, Case{"abc", -36.0}}) {
    callables.loudnessTargetFromText(c.text);
    EXPECT_EQ(plugin.ParamValue(kLoudnessTarget), c.expected) << c.text;
  }
}

}  // namespace
}  // namespace ombrix
