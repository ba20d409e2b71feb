// What a host sees of the built plug-in: identity, parameters, layouts,
// pass-through and state, through JUCE's VST3 hosting.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "library/plugin_state.h"
#include "tools/host/plugin_host.h"

namespace {

struct PluginFixture : testing::Test {
  void SetUp() override {
    juce::String error;
    loaded = ombrix::host::LoadVst3(OMBRIX_VST3_BUNDLE, 48000.0, 512, error);
    ASSERT_NE(loaded.instance, nullptr) << error;
  }
  juce::AudioPluginInstance& plugin() { return *loaded.instance; }
  juce::AudioProcessorParameter& param(int index) { return *ombrix::host::ParameterAt(plugin(), index); }
  ombrix::host::LoadedPlugin loaded;
};

// The float normalised value closest to a real value of an exponential
// parameter, nudged up until the plug-in's mapping reaches the value: hosts
// pass normalised values as float through this path.
float ExpNormalised(double value, double lo, double hi) {
  float x = static_cast<float>(std::log(value / lo) / std::log(hi / lo));
  while (lo * std::pow(hi / lo, static_cast<double>(x)) < value) x = std::nextafter(x, 2.0f);
  return x;
}

TEST_F(PluginFixture, IdentityAsTheHostSeesIt) {
  const auto& d = loaded.description;
  EXPECT_EQ(d.name, "Ombrix");
  EXPECT_EQ(d.manufacturerName, "Kestrune");
  EXPECT_EQ(d.version, OMBRIX_VERSION);
  EXPECT_EQ(d.category, "Fx|Analyzer|Mastering");
  EXPECT_FALSE(d.isInstrument);
  EXPECT_EQ(plugin().getLatencySamples(), 0);
  EXPECT_FALSE(plugin().acceptsMidi());
  EXPECT_FALSE(plugin().producesMidi());
}

TEST_F(PluginFixture, EighteenParametersInIndexOrderWithDefaults) {
  struct Expected { const char* name; const char* defaultText; };
  const Expected expected[] = {
      {"Bypass", "off"},           {"Loudness Target", "-14.0 LUFS"}, {"Low Crossover", "200 Hz"},
      {"High Crossover", "6.00 kHz"}, {"Correct", "off"},             {"Correct Tilt", "50 %"},
      {"Correct Low", "50 %"},     {"Correct Lo-Mid", "50 %"},        {"Correct High", "50 %"},
      {"Correct Speed", "15 s"},   {"Freeze", "off"},                 {"Frozen Tilt", "+0.00 dB/oct"},
      {"Frozen Low", "+0.00 dB"},  {"Frozen Lo-Mid", "+0.00 dB"},     {"Frozen High", "+0.00 dB"},
      {"Mid Crossover", "2.00 kHz"}, {"Correct Hi-Mid", "50 %"},      {"Frozen Hi-Mid", "+0.00 dB"},
  };
  ASSERT_EQ(plugin().getParameters().size(), 18);
  for (int i = 0; i < 18; ++i) {
    SCOPED_TRACE(i);
    auto& p = param(i);
    EXPECT_EQ(p.getName(64), expected[i].name);
    EXPECT_EQ(p.getText(p.getDefaultValue(), 64), expected[i].defaultText);
    auto* hosted = dynamic_cast<juce::HostedAudioProcessorParameter*>(&p);
    ASSERT_NE(hosted, nullptr);
    EXPECT_EQ(hosted->getParameterID(), juce::String(i)) << "VST3 parameter ID is the index";
  }
}

TEST_F(PluginFixture, DisplayTextsAtChosenValues) {
  EXPECT_EQ(param(15).getText(ExpNormalised(1000.0, 400.0, 6000.0), 64), "1.00 kHz");
  EXPECT_EQ(param(15).getText(ExpNormalised(999.0, 400.0, 6000.0), 64), "999 Hz");
  EXPECT_EQ(param(9).getText(ExpNormalised(10.0, 2.0, 60.0), 64), "10 s");
  EXPECT_EQ(param(9).getText(0.0f, 64), "2.0 s");
  // The frozen tilt reads as the slope it gives, and takes a typed slope.
  EXPECT_EQ(param(11).getText(0.5f, 64), "+0.00 dB/oct");
  EXPECT_TRUE(param(11).getText(0.0f, 64).startsWith("-")) << param(11).getText(0.0f, 64);
  EXPECT_TRUE(param(11).getText(0.0f, 64).endsWith(" dB/oct"));
  EXPECT_EQ(param(11).getText(param(11).getValueForText("-0.75 dB/oct"), 64), "-0.75 dB/oct");
  EXPECT_EQ(param(12).getText(0.0f, 64), "-24.00 dB");
  EXPECT_EQ(param(1).getText(1.0f, 64), "-6.0 LUFS");
  EXPECT_EQ(param(4).getText(1.0f, 64), "on");
  // The exponential shape: halfway is the geometric mean of 60 and 800 Hz, 219.09 Hz.
  EXPECT_EQ(param(2).getText(0.5f, 64), "219 Hz");
}

TEST_F(PluginFixture, MonoStereoAndMonoIntoStereoLayouts) {
  for (auto [set, accepted] : {std::pair{juce::AudioChannelSet::mono(), true},
                               std::pair{juce::AudioChannelSet::stereo(), true},
                               std::pair{juce::AudioChannelSet::create5point1(), false}}) {
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add(set);
    layout.outputBuses.add(set);
    EXPECT_EQ(plugin().checkBusesLayoutSupported(layout), accepted) << set.getDescription();
  }
  // A mono track in a stereo mix: one channel in, two out.
  juce::AudioProcessor::BusesLayout monoToStereo;
  monoToStereo.inputBuses.add(juce::AudioChannelSet::mono());
  monoToStereo.outputBuses.add(juce::AudioChannelSet::stereo());
  EXPECT_TRUE(plugin().checkBusesLayoutSupported(monoToStereo));
  juce::AudioProcessor::BusesLayout stereoToMono;
  stereoToMono.inputBuses.add(juce::AudioChannelSet::stereo());
  stereoToMono.outputBuses.add(juce::AudioChannelSet::mono());
  EXPECT_FALSE(plugin().checkBusesLayoutSupported(stereoToMono)) << "one channel would be lost";
}

// Each output channel comes back exactly as the input channel it carries (the
// one input, for a mono input on a stereo output).
template <typename Sample>
void ExpectBitExactPassThrough(juce::AudioPluginInstance& plugin, int channels, int outputChannels = 0) {
  const int outputs = outputChannels > 0 ? outputChannels : channels;
  juce::AudioProcessor::BusesLayout layout;
  layout.inputBuses.add(juce::AudioChannelSet::canonicalChannelSet(channels));
  layout.outputBuses.add(juce::AudioChannelSet::canonicalChannelSet(outputs));
  ASSERT_TRUE(plugin.setBusesLayout(layout));
  plugin.setProcessingPrecision(std::is_same_v<Sample, double> ? juce::AudioProcessor::doublePrecision
                                                               : juce::AudioProcessor::singlePrecision);
  plugin.prepareToPlay(48000.0, 480);
  juce::Random random(7);
  juce::MidiBuffer midi;
  const int width = std::max(channels, outputs);
  for (int block = 0; block < 20; ++block) {
    juce::AudioBuffer<Sample> buffer(width, 480), original(width, 480);
    original.clear();
    for (int ch = 0; ch < channels; ++ch)
      for (int i = 0; i < 480; ++i) original.setSample(ch, i, static_cast<Sample>(random.nextDouble() * 2.0 - 1.0));
    buffer.makeCopyOf(original);
    plugin.processBlock(buffer, midi);
    for (int ch = 0; ch < outputs; ++ch)
      for (int i = 0; i < 480; ++i) ASSERT_EQ(buffer.getSample(ch, i), original.getSample(std::min(ch, channels - 1), i));
  }
  plugin.releaseResources();
}

TEST_F(PluginFixture, PassesAudioThroughBitExactly) {
  ExpectBitExactPassThrough<float>(plugin(), 2);
  ExpectBitExactPassThrough<float>(plugin(), 1);
  ExpectBitExactPassThrough<float>(plugin(), 1, 2);
  if (plugin().supportsDoublePrecisionProcessing()) ExpectBitExactPassThrough<double>(plugin(), 2);
}

TEST_F(PluginFixture, StateRestoresParametersInANewInstance) {
  param(2).setValueNotifyingHost(0.25f);
  param(4).setValueNotifyingHost(1.0f);
  param(12).setValueNotifyingHost(0.8f);
  juce::MemoryBlock state;
  plugin().getStateInformation(state);

  juce::String error;
  auto other = ombrix::host::LoadVst3(OMBRIX_VST3_BUNDLE, 48000.0, 512, error);
  ASSERT_NE(other.instance, nullptr) << error;
  other.instance->setStateInformation(state.getData(), static_cast<int>(state.getSize()));
  for (int i = 0; i < 18; ++i) {
    SCOPED_TRACE(i);
    auto* restored = ombrix::host::ParameterAt(*other.instance, i);
    EXPECT_EQ(restored->getText(restored->getValue(), 64), param(i).getText(param(i).getValue(), 64));
  }
  EXPECT_EQ(ombrix::host::ParameterAt(*other.instance, 4)->getValue(), 1.0f);
}

// VST3 hosts and Steinberg's validator want every program of a program list
// named: the one program is the loaded preset, or "Default".
TEST_F(PluginFixture, TheOneProgramIsNamedAfterTheLoadedPreset) {
  EXPECT_EQ(ombrix::host::ProgramListNames(plugin()), std::vector<juce::String>{"Default"});

  const juce::MemoryBlock saved = ombrix::host::GetComponentState(plugin());
  ombrix::PluginState state;
  ASSERT_GE(ombrix::ReadState(ombrix::ByteChunk(saved.getData(), saved.getSize()), 0, state).position, 0);
  state.presetName = "Night drive";
  ombrix::ByteChunk chunk;
  ombrix::WriteState(state, chunk);
  ombrix::host::SetComponentState(plugin(), chunk.Bytes().data(), chunk.Bytes().size());
  EXPECT_EQ(ombrix::host::ProgramListNames(plugin()), std::vector<juce::String>{"Night drive"});
}

}  // namespace
