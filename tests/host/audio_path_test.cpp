// The audio path as a host drives it through the built VST3: offline
// correction, the cross-fade, bypass and non-finite input.
#include <gtest/gtest.h>

#include <cmath>

#include "library/plugin_state.h"
#include "dsp/correction_engine.h"
#include "dsp/band_analyser.h"
#include "library/factory_targets.h"
#include "tools/host/plugin_host.h"

namespace {

using ombrix::PluginState;

constexpr double kRate = 48000.0;
constexpr int kBlock = 512;
constexpr int kFade = 960;

std::unique_ptr<juce::AudioPluginInstance> Load() {
  juce::String error;
  auto loaded = ombrix::host::LoadVst3(OMBRIX_VST3_BUNDLE, kRate, kBlock, error);
  EXPECT_NE(loaded.instance, nullptr) << error;
  return std::move(loaded.instance);
}

void SetState(juce::AudioPluginInstance& plugin, const PluginState& state) {
  ombrix::ByteChunk chunk;
  ombrix::WriteState(state, chunk);
  ombrix::host::SetComponentState(plugin, chunk.Bytes().data(), chunk.Bytes().size());
}

// A restored "Freeze" applies at once (no capture), so the correction is known
// without waiting for any analysis.
PluginState FrozenState(bool correct) {
  PluginState s;
  s.params[ombrix::kCorrect] = correct ? 1.0 : 0.0;
  s.params[ombrix::kFreeze] = 1.0;
  for (int k = 0; k < 5; ++k) s.params[static_cast<std::size_t>(ombrix::kFrozenParams[static_cast<std::size_t>(k)])] = 3.0 * (k % 2 ? -1 : 1);
  return s;
}

juce::AudioBuffer<float> WhiteNoise(int frames, int seed) {
  juce::AudioBuffer<float> b(2, frames);
  juce::Random random(seed);
  for (int ch = 0; ch < 2; ++ch)
    for (int i = 0; i < frames; ++i) b.setSample(ch, i, (random.nextFloat() - 0.5f) * 0.5f);
  return b;
}

juce::AudioBuffer<float> Render(juce::AudioPluginInstance& plugin, const juce::AudioBuffer<float>& input) {
  juce::AudioBuffer<float> out(input);
  juce::MidiBuffer midi;
  for (int start = 0; start < out.getNumSamples(); start += kBlock) {
    const int n = std::min(kBlock, out.getNumSamples() - start);
    juce::AudioBuffer<float> view(out.getArrayOfWritePointers(), 2, start, n);
    plugin.processBlock(view, midi);
  }
  return out;
}

void Prepare(juce::AudioPluginInstance& plugin, bool offline) {
  plugin.setNonRealtime(offline);
  plugin.prepareToPlay(kRate, kBlock);
}

// Tilt of the last ten seconds against the flat target, as the plug-in's
// own readouts would show it.
double TiltOfTail(const juce::AudioBuffer<float>& audio) {
  ombrix::dsp::SpectrumAnalysis analysis;
  analysis.Configure(kRate);
  const int tail = static_cast<int>(10 * kRate);
  const int start = audio.getNumSamples() - tail;
  analysis.Feed(audio.getReadPointer(0) + start, audio.getReadPointer(1) + start, tail);
  const auto readouts = ombrix::dsp::ComputeReadouts(analysis, ombrix::dsp::GridCurve{},
                                                     ombrix::dsp::SanitizeCrossovers(200, 2000, 6000), {1, 1, 1, 1});
  return readouts.tilt;
}

TEST(HostAudioPath, OfflineRenderCorrectsFromTheAudioAloneAndRepeatsExactly) {
  // White noise is about 3 dB per octave brighter than the flat target.
  const auto input = WhiteNoise(static_cast<int>(60 * kRate), 11);
  PluginState s;
  s.params[ombrix::kCorrect] = 1.0;
  s.params[ombrix::kCorrectSpeed] = 2.0;
  for (int k : ombrix::kAmountParams) s.params[static_cast<std::size_t>(k)] = 100.0;

  std::vector<juce::AudioBuffer<float>> renders;
  for (int run = 0; run < 2; ++run) {
    auto plugin = Load();
    ASSERT_NE(plugin, nullptr);
    SetState(*plugin, s);
    Prepare(*plugin, true);
    renders.push_back(Render(*plugin, input));
  }
  const double before = TiltOfTail(input), after = TiltOfTail(renders[0]);
  EXPECT_GT(before, 2.0);
  EXPECT_LT(after, before - 0.5) << "the render leaned towards the flat target";
  // The offline path depends on the audio only, not on a thread's timing.
  for (int ch = 0; ch < 2; ++ch)
    for (int i = 0; i < input.getNumSamples(); i += 97)
      ASSERT_EQ(renders[0].getSample(ch, i), renders[1].getSample(ch, i)) << i;
}

TEST(HostAudioPath, SwitchingCorrectOnCrossFadesOverTwentyMilliseconds) {
  const auto input = WhiteNoise(4096, 3);
  auto reference = Load();   // corrected from the start
  auto switched = Load();    // switched on by the host at the first sample
  ASSERT_TRUE(reference && switched);
  SetState(*reference, FrozenState(true));
  SetState(*switched, FrozenState(false));
  // A rate change with "Correct" on starts fully corrected, from clean filter state.
  reference->prepareToPlay(44100.0, kBlock);
  Prepare(*reference, true);
  Prepare(*switched, true);
  ombrix::host::ParameterAt(*switched, ombrix::kCorrect)->setValueNotifyingHost(1.0f);
  const auto wet = Render(*reference, input);
  const auto out = Render(*switched, input);
  for (int ch = 0; ch < 2; ++ch) {
    float largest = 0.0f;
    for (int i = 0; i < kFade; ++i) {
      const float dry = input.getSample(ch, i), corrected = wet.getSample(ch, i);
      largest = std::max(largest, std::abs(corrected - dry));
      // The first sample already carries 1/960 of the correction.
      ASSERT_NEAR(out.getSample(ch, i), dry + (corrected - dry) * static_cast<float>(i + 1) / kFade, 2e-6f) << i;
    }
    EXPECT_GT(largest, 1e-2f) << "the correction is audible";
    for (int i = kFade; i < 4096; ++i) ASSERT_EQ(out.getSample(ch, i), wet.getSample(ch, i)) << i;
  }
}

TEST(HostAudioPath, BypassReturnsTheInputExactlyAfterTheFade) {
  auto plugin = Load();
  ASSERT_NE(plugin, nullptr);
  SetState(*plugin, FrozenState(true));
  Prepare(*plugin, true);
  Render(*plugin, WhiteNoise(8192, 4));
  ombrix::host::ParameterAt(*plugin, ombrix::kBypass)->setValueNotifyingHost(1.0f);
  const auto input = WhiteNoise(8192, 5);
  const auto out = Render(*plugin, input);
  EXPECT_NE(out.getSample(0, 10), input.getSample(0, 10));
  for (int ch = 0; ch < 2; ++ch)
    for (int i = kFade; i < 8192; ++i) ASSERT_EQ(out.getSample(ch, i), input.getSample(ch, i)) << i;
}

TEST(HostAudioPath, NonFiniteInputNeverReachesLaterBlocks) {
  auto plugin = Load();
  ASSERT_NE(plugin, nullptr);
  SetState(*plugin, FrozenState(true));
  Prepare(*plugin, false);
  auto poisoned = WhiteNoise(kBlock, 6);
  poisoned.setSample(0, 7, std::numeric_limits<float>::quiet_NaN());
  poisoned.setSample(1, 9, std::numeric_limits<float>::infinity());
  Render(*plugin, poisoned);
  const auto out = Render(*plugin, WhiteNoise(48000, 7));
  for (int ch = 0; ch < 2; ++ch)
    for (int i = 0; i < out.getNumSamples(); ++i) ASSERT_TRUE(std::isfinite(out.getSample(ch, i))) << i;
}

TEST(HostAudioPath, StateSavedByTheHostRestoresParametersAndTargetInANewInstance) {
  auto first = Load();
  ASSERT_NE(first, nullptr);
  PluginState s = FrozenState(true);
  s.params[ombrix::kMidCrossover] = 1234.5;
  s.target.kind = ombrix::TargetKind::Learned;
  s.target.name = "Reference mix";
  s.target.source = "mix.wav";
  for (std::size_t i = 0; i < ombrix::dsp::kGridPoints; ++i) {
    s.target.curve[i] = std::sin(0.1 * static_cast<double>(i)) * 3.0;
    s.target.spread[i] = 0.5 + 0.001 * static_cast<double>(i);
  }
  SetState(*first, s);
  juce::MemoryBlock saved;
  first->getStateInformation(saved);  // as a host stores it in its project

  auto second = Load();
  ASSERT_NE(second, nullptr);
  second->setStateInformation(saved.getData(), static_cast<int>(saved.getSize()));
  const juce::MemoryBlock again = ombrix::host::GetComponentState(*second);

  PluginState restored;
  const auto r = ombrix::ReadState(ombrix::ByteChunk(again.getData(), again.getSize()), 0, restored);
  ASSERT_TRUE(r.targetAccepted);
  EXPECT_EQ(restored.params, s.params);
  EXPECT_EQ(restored.target.name, s.target.name);
  EXPECT_EQ(restored.target.source, s.target.source);
  EXPECT_EQ(restored.target.kind, s.target.kind);
  EXPECT_EQ(restored.target.curve, s.target.curve);
  EXPECT_EQ(restored.target.spread, s.target.spread);
}

}  // namespace
