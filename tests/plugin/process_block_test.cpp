// The audio path of the plug-in class: cross-fade, bypass, mono, meter reset
// on an empty block, blown-up filter recovery.
#include <gtest/gtest.h>

#include <cmath>

#include "core/correction_filter.h"
#include "plugin/ombrix.h"

namespace ombrix {
namespace {

constexpr double kRate = 48000.0;
constexpr int kFade = 960;  // 20 ms at 48 kHz
const CorrectionGains kGains{3.0, 2.0, -1.5, 1.0, -2.0};

struct ProcessBlockTest : testing::Test {
  void SetUp() override {
    plugin.prepareToPlay(kRate, 512);
    // "Freeze" switched on by the host leaves a capture pending, during which
    // nobody publishes gains: the test's own gains stay put.
    plugin.Parameter(kFreeze).SetReal(1.0);
    ASSERT_TRUE(plugin.CapturePending());
    plugin.Published().SetApplied(kGains);
  }

  // A stereo buffer of noise, the same for the same seed.
  static juce::AudioBuffer<double> Noise(int frames, int channels = 2, int seed = 1) {
    juce::AudioBuffer<double> b(channels, frames);
    juce::Random random(seed);
    for (int ch = 0; ch < channels; ++ch)
      for (int i = 0; i < frames; ++i) b.setSample(ch, i, random.nextDouble() - 0.5);
    return b;
  }

  // What the correction filter alone makes of the input.
  static juce::AudioBuffer<double> Filtered(const juce::AudioBuffer<double>& in) {
    juce::AudioBuffer<double> out(in);
    CorrectionFilter filter;
    filter.Prepare(kRate);
    filter.SetTarget(kGains, 200.0, 2000.0, 6000.0);
    filter.Process(out.getArrayOfWritePointers(), out.getNumChannels(), out.getNumSamples());
    return out;
  }

  void Process(juce::AudioBuffer<double>& b) {
    juce::MidiBuffer midi;
    plugin.processBlock(b, midi);
  }

  Ombrix plugin;
};

TEST_F(ProcessBlockTest, CorrectionFadesInFromTheFirstSample) {
  const auto input = Noise(2048);
  const auto wet = Filtered(input);
  auto out = input;
  plugin.Parameter(kCorrect).SetReal(1.0);
  Process(out);
  for (int ch = 0; ch < 2; ++ch) {
    const double step = 1.0 / kFade;
    EXPECT_NEAR(out.getSample(ch, 0), input.getSample(ch, 0) + (wet.getSample(ch, 0) - input.getSample(ch, 0)) * step, 1e-12);
    EXPECT_NEAR(out.getSample(ch, 479), input.getSample(ch, 479) + (wet.getSample(ch, 479) - input.getSample(ch, 479)) * 480 * step, 1e-9);
    for (int i = kFade - 1; i < 2048; ++i) ASSERT_NEAR(out.getSample(ch, i), wet.getSample(ch, i), 1e-12) << i;
  }
}

TEST_F(ProcessBlockTest, BypassFadesOutAndThenReturnsTheInputExactly) {
  plugin.Parameter(kCorrect).SetReal(1.0);
  auto warm = Noise(4096, 2, 5);
  Process(warm);
  plugin.Parameter(kBypass).SetReal(1.0);
  auto fading = Noise(kFade, 2, 6);
  const auto fadingInput = fading;
  Process(fading);
  EXPECT_NE(fading.getSample(0, 10), fadingInput.getSample(0, 10)) << "still partly corrected while fading";
  for (int block = 0; block < 3; ++block) {
    auto after = Noise(700, 2, 7 + block);
    const auto input = after;
    Process(after);
    for (int ch = 0; ch < 2; ++ch)
      for (int i = 0; i < 700; ++i) ASSERT_EQ(after.getSample(ch, i), input.getSample(ch, i));
  }
}

TEST_F(ProcessBlockTest, MonoFiltersItsOneChannel) {
  juce::AudioProcessor::BusesLayout mono;
  mono.inputBuses.add(juce::AudioChannelSet::mono());
  mono.outputBuses.add(juce::AudioChannelSet::mono());
  ASSERT_TRUE(plugin.setBusesLayout(mono));
  const auto input = Noise(2048, 1);
  const auto wet = Filtered(input);
  plugin.Parameter(kCorrect).SetReal(1.0);
  auto out = input;
  Process(out);
  for (int i = kFade; i < 2048; ++i) ASSERT_NEAR(out.getSample(0, i), wet.getSample(0, i), 1e-12);
}

TEST_F(ProcessBlockTest, EmptyBlockConsumesAPendingMeterReset) {
  auto loud = Noise(48000, 2, 3);
  Process(loud);
  ASSERT_GT(plugin.Readout(kIntegrated), -100.0f);
  const float shortTerm = plugin.Readout(kShortTerm);
  plugin.RequestMeterReset();
  juce::AudioBuffer<double> empty(2, 0);
  Process(empty);
  EXPECT_EQ(plugin.Readout(kIntegrated), -150.0f);
  EXPECT_EQ(plugin.Readout(kIntegratedSeconds), 0.0f);
  EXPECT_EQ(plugin.Readout(kMaxTruePeak), -150.0f);
  EXPECT_EQ(plugin.Readout(kShortTerm), shortTerm) << "short-term loudness is not reset";
}

TEST_F(ProcessBlockTest, ResetAtTheSameRateKeepsIntegratedLoudness) {
  auto loud = Noise(48000, 2, 3);
  Process(loud);
  const float integrated = plugin.Readout(kIntegrated);
  ASSERT_GT(integrated, -100.0f);
  plugin.prepareToPlay(kRate, 256);
  EXPECT_EQ(plugin.Readout(kIntegrated), integrated);
  plugin.prepareToPlay(44100.0, 256);
  EXPECT_EQ(plugin.Readout(kIntegrated), -150.0f);
}

// A host's transport that plays or stands still.
struct Transport final : juce::AudioPlayHead {
  bool playing = false;
  juce::Optional<PositionInfo> getPosition() const override {
    PositionInfo info;
    info.setIsPlaying(playing);
    return info;
  }
};

TEST_F(ProcessBlockTest, IntegratedLoudnessAdvancesOnlyWhileTheTransportPlays) {
  Transport transport;
  plugin.setPlayHead(&transport);
  auto second = Noise(48000, 2, 4);
  Process(second);
  EXPECT_GT(plugin.Readout(kShortTerm), -100.0f) << "short-term loudness is measured while stopped";
  EXPECT_EQ(plugin.Readout(kIntegratedSeconds), 0.0f);
  EXPECT_EQ(plugin.Readout(kIntegrated), -150.0f);

  transport.playing = true;
  second = Noise(48000, 2, 5);
  Process(second);
  EXPECT_FLOAT_EQ(plugin.Readout(kIntegratedSeconds), 1.0f);
  const float integrated = plugin.Readout(kIntegrated);
  EXPECT_GT(integrated, -100.0f);

  transport.playing = false;
  auto quiet = Noise(48000, 2, 6);
  quiet.applyGain(0.01);
  Process(quiet);
  EXPECT_FLOAT_EQ(plugin.Readout(kIntegratedSeconds), 1.0f);
  EXPECT_EQ(plugin.Readout(kIntegrated), integrated) << "nothing heard while stopped counts";

  plugin.setNonRealtime(true);  // a render counts whatever the transport says
  second = Noise(48000, 2, 7);
  Process(second);
  EXPECT_FLOAT_EQ(plugin.Readout(kIntegratedSeconds), 2.0f);
  plugin.setPlayHead(nullptr);
}

// Silent blocks take a short way once the filters rest; every readout and
// every output sample is what processing the zeros gives, through the decay
// of the short-term loudness to "nothing measured", a meter reset in the
// silence and music coming back.
TEST_F(ProcessBlockTest, SilentBlocksReadExactlyAsIfTheirZerosWereProcessed) {
  for (int blockFrames : {512, 333, 4800}) {
    SCOPED_TRACE(blockFrames);
    Ombrix shortened, processed;
    processed.SetSilenceShortcutsForTesting(false);
    for (Ombrix* p : {&shortened, &processed}) {
      p->prepareToPlay(kRate, blockFrames);
      p->Parameter(kFreeze).SetReal(1.0);  // a capture stays pending: the gains below stay
      p->Published().SetApplied(kGains);
      p->Parameter(kCorrect).SetReal(1.0);
    }
    const auto play = [&](double seconds, bool music, int seed) {
      for (int n = 0; n < static_cast<int>(seconds * kRate) / blockFrames; ++n) {
        auto block = Noise(blockFrames, 2, seed + n);
        if (!music) block.clear();
        auto other = block;
        juce::MidiBuffer midi;
        shortened.processBlock(block, midi);
        processed.processBlock(other, midi);
        for (int ch = 0; ch < 2; ++ch)
          for (int i = 0; i < blockFrames; ++i) ASSERT_EQ(block.getSample(ch, i), other.getSample(ch, i)) << n;
        for (int r = 0; r < kNumReadouts; ++r) {
          const auto readout = static_cast<LoudnessReadout>(r);
          ASSERT_EQ(shortened.Readout(readout), processed.Readout(readout)) << "readout " << r << ", block " << n;
        }
      }
    };
    play(2.0, true, 100);
    play(10.0, false, 0);
    EXPECT_GT(shortened.SilentBlocksShortened(), 0u) << "the short way was taken";
    EXPECT_EQ(shortened.Readout(kShortTerm), -150.0f) << "the short-term loudness decayed to nothing";
    EXPECT_GT(shortened.Readout(kIntegrated), -100.0f) << "silence stays out of the integrated loudness";
    shortened.RequestMeterReset();
    processed.RequestMeterReset();
    play(5.0, false, 0);
    play(1.0, true, 300);
  }
}

TEST_F(ProcessBlockTest, ANaNInTheInputNeverReachesLaterBlocks) {
  plugin.Parameter(kCorrect).SetReal(1.0);
  auto poisoned = Noise(512, 2, 9);
  poisoned.setSample(0, 100, std::numeric_limits<double>::quiet_NaN());
  poisoned.setSample(1, 300, std::numeric_limits<double>::infinity());
  Process(poisoned);
  for (int block = 0; block < 20; ++block) {
    auto clean = Noise(512, 2, 10 + block);
    Process(clean);
    for (int ch = 0; ch < 2; ++ch)
      for (int i = 0; i < 512; ++i) ASSERT_TRUE(std::isfinite(clean.getSample(ch, i))) << block << " " << i;
  }
  EXPECT_TRUE(std::isfinite(plugin.Readout(kShortTerm)));
}

}  // namespace
}  // namespace ombrix
