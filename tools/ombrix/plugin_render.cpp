#include "tools/ombrix/plugin_render.h"

#include <cmath>
#include <vector>

#include "core/parameter_table.h"
#include "tools/host/plugin_host.h"
#include "tools/ombrix/command_error.h"

namespace ombrix::cli {

namespace {

constexpr int kBlockFrames = 512;

std::string ChannelCountText(int channels) { return channels == 1 ? "mono" : "stereo"; }

juce::AudioProcessor::BusesLayout LayoutFor(int channels) {
  const juce::AudioChannelSet set = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
  juce::AudioProcessor::BusesLayout layout;
  layout.inputBuses.add(set);
  layout.outputBuses.add(set);
  return layout;
}

// The host's view of the parameters after the state went in must match the
// state: otherwise the render would not be what was asked for.
void CheckParametersTaken(juce::AudioPluginInstance& plugin, const PluginState& state) {
  for (int i = 0; i < kNumParams; ++i) {
    juce::AudioProcessorParameter* parameter = host::ParameterAt(plugin, i);
    const double expected = ToNormalised(i, state.params[static_cast<std::size_t>(i)]);
    if (parameter == nullptr || std::abs(parameter->getValue() - expected) > 1e-4)
      throw Failure(std::string("the plug-in did not take the state (parameter ") + Param(i).name + ")");
  }
}

class BlockRenderer {
 public:
  BlockRenderer(juce::AudioPluginInstance& plugin, int channels, int latency)
      : plugin_(plugin),
        channels_(channels),
        latencyToSkip_(latency),
        buffer_(channels, kBlockFrames),
        interleaved_(static_cast<std::size_t>(kBlockFrames * channels)) {}

  float* Input() { return interleaved_.data(); }

  // Processes the first `frames` frames of Input() and writes what comes out.
  void Process(int frames, FrameSink& sink) {
    for (int ch = 0; ch < channels_; ++ch) {
      float* plane = buffer_.getWritePointer(ch);
      for (int n = 0; n < frames; ++n) plane[n] = interleaved_[static_cast<std::size_t>(n * channels_ + ch)];
    }
    juce::AudioBuffer<float> block(buffer_.getArrayOfWritePointers(), channels_, frames);
    plugin_.processBlock(block, midi_);
    for (int ch = 0; ch < channels_; ++ch) {
      const float* plane = buffer_.getReadPointer(ch);
      for (int n = 0; n < frames; ++n) interleaved_[static_cast<std::size_t>(n * channels_ + ch)] = plane[n];
    }
    const int skipped = std::min(latencyToSkip_, frames);
    latencyToSkip_ -= skipped;
    if (frames > skipped && !sink.Write(interleaved_.data() + static_cast<std::size_t>(skipped * channels_),
                                        static_cast<std::size_t>(frames - skipped)))
      throw Failure("could not write the rendered audio");
  }

 private:
  juce::AudioPluginInstance& plugin_;
  int channels_;
  int latencyToSkip_;
  juce::AudioBuffer<float> buffer_;
  std::vector<float> interleaved_;
  juce::MidiBuffer midi_;
};

}  // namespace

void RenderThroughPlugin(const std::string& bundlePath, const RenderState& state, FrameSource& source, FrameSink& sink,
                         Progress& progress) {
  const int channels = source.Channels();
  if (channels != 1 && channels != 2)
    throw Failure("only mono and stereo audio can be rendered, not " + std::to_string(channels) + " channels");
  const double sampleRate = source.SampleRate();

  juce::String error;
  host::LoadedPlugin loaded =
      host::LoadVst3(juce::String::fromUTF8(bundlePath.c_str()), sampleRate, kBlockFrames, error);
  if (loaded.instance == nullptr)
    throw Failure("could not load the plug-in " + bundlePath + ": " + error.toStdString());
  juce::AudioPluginInstance& plugin = *loaded.instance;
  if (!plugin.setBusesLayout(LayoutFor(channels)))
    throw Failure("the plug-in does not take " + ChannelCountText(channels) + " audio");

  host::SetComponentState(plugin, state.bytes.data(), state.bytes.size());
  CheckParametersTaken(plugin, state.state);

  plugin.setNonRealtime(true);
  plugin.prepareToPlay(sampleRate, kBlockFrames);
  const int latency = std::max(0, plugin.getLatencySamples());

  BlockRenderer renderer(plugin, channels, latency);
  for (;;) {
    const std::size_t got = source.Read(renderer.Input(), kBlockFrames);
    if (got == 0) break;
    renderer.Process(static_cast<int>(got), sink);
    progress.Add(got);
  }
  // Whatever the plug-in still holds back comes out after the input's end.
  for (int left = latency; left > 0; left -= kBlockFrames) {
    const int frames = std::min(left, kBlockFrames);
    std::fill(renderer.Input(), renderer.Input() + frames * channels, 0.0f);
    renderer.Process(frames, sink);
  }
  plugin.releaseResources();
}

}  // namespace ombrix::cli
