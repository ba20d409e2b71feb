#include "core/plugin/ombrix.h"

#include <cstring>

namespace ombrix {
namespace {

// The thread currently restoring state into an instance. Changes made by that
// thread while it restores are recalls, never host or editor gestures.
thread_local const Ombrix* tRestoringInstance = nullptr;

}  // namespace

Ombrix::Ombrix()
    : juce::AudioProcessor(BusesProperties()
                               .withInput("Input", juce::AudioChannelSet::stereo(), true)
                               .withOutput("Output", juce::AudioChannelSet::stereo(), true)) {
  for (int i = 0; i < kNumParams; ++i) {
    auto parameter = std::make_unique<OmbrixParameter>(i, [this](int index) {
      OnParamChange(index, tRestoringInstance == this ? ParamSource::PresetRecall : ParamSource::Host);
    });
    params_[static_cast<std::size_t>(i)] = parameter.get();
    addParameter(parameter.release());
  }
}

Ombrix::~Ombrix() = default;

CorrectionSettings Ombrix::GetCorrectionSettings() const {
  return MakeCorrectionSettings([this](int index) { return ParamValue(index); });
}

void Ombrix::OnParamChange(int index, ParamSource source) {
  if (index == kFreeze) {
    const bool on = ParamOn(kFreeze);
    if (!on) {
      capturePending_.store(false);
    } else if (!freezeSeenOn_.load() && (source == ParamSource::Host || source == ParamSource::UI)) {
      capturePending_.store(true);
    }
    freezeSeenOn_.store(on);
    return;
  }
  for (int frozen : kFrozenParams) {
    // A frozen value set by the user or the host wins over a pending capture.
    if (index == frozen && !capturing_.load()) capturePending_.store(false);
  }
}

template <typename Fn>
void Ombrix::AsRestore(Fn&& fn) {
  const Ombrix* previous = tRestoringInstance;
  tRestoringInstance = this;
  fn();
  tRestoringInstance = previous;
}

void Ombrix::prepareToPlay(double, int) {}

bool Ombrix::isBusesLayoutSupported(const BusesLayout& layouts) const {
  const auto in = layouts.getMainInputChannelSet();
  const auto out = layouts.getMainOutputChannelSet();
  if (in != out) return false;
  return out == juce::AudioChannelSet::mono() || out == juce::AudioChannelSet::stereo();
}

juce::AudioProcessorParameter* Ombrix::getBypassParameter() const {
  // The host's bypass is our "Bypass" parameter: hosts see exactly 18
  // parameters, with index 0 flagged as the bypass, and a host bypass fades
  // out the correction like the parameter does.
  return params_[kBypass];
}

template <typename Sample>
void Ombrix::ProcessBlock(juce::AudioBuffer<Sample>& buffer) {
  juce::ScopedNoDenormals noDenormals;
  const int frames = buffer.getNumSamples();
  if (frames <= 0) return;
  // Input and output share the buffer's channels: JUCE has already copied
  // each input to the output of the same index. Extra outputs get channel 0,
  // or silence when no input is connected.
  const int inputs = getTotalNumInputChannels();
  for (int ch = inputs; ch < buffer.getNumChannels(); ++ch) {
    if (inputs > 0)
      buffer.copyFrom(ch, 0, buffer, 0, 0, frames);
    else
      buffer.clear(ch, 0, frames);
  }
}

void Ombrix::processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer&) { ProcessBlock(buffer); }
void Ombrix::processBlock(juce::AudioBuffer<double>& buffer, juce::MidiBuffer&) { ProcessBlock(buffer); }

juce::AudioProcessorEditor* Ombrix::createEditor() { return new juce::GenericAudioProcessorEditor(*this); }

void Ombrix::getStateInformation(juce::MemoryBlock& destData) {
  for (int i = 0; i < kNumParams; ++i) {
    const double value = ParamValue(i);
    destData.append(&value, sizeof value);
  }
}

void Ombrix::setStateInformation(const void* data, int sizeInBytes) {
  if (data == nullptr || sizeInBytes <= 0) return;
  const auto* bytes = static_cast<const char*>(data);
  const int count = std::min<int>(kNumParams, sizeInBytes / static_cast<int>(sizeof(double)));
  AsRestore([&] {
    for (int i = 0; i < count; ++i) {
      double value = 0.0;
      std::memcpy(&value, bytes + i * sizeof(double), sizeof value);
      params_[static_cast<std::size_t>(i)]->SetReal(value);
    }
  });
}

}  // namespace ombrix
