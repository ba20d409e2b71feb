#include "tools/ombrix/editor_screenshot.h"

#include <memory>
#include <vector>

#include <juce_audio_processors/juce_audio_processors.h>

#include "library/file_helpers.h"
#include "plugin/ombrix.h"
#include "tools/ombrix/command_error.h"

namespace ombrix::cli {
namespace {

constexpr int kBlockFrames = 512;

// The editor while the picture is taken, closed the way a host closes it.
class OpenEditor {
 public:
  explicit OpenEditor(Ombrix& plugin) : plugin_(plugin), editor_(plugin.createEditorIfNeeded()) {
    if (editor_ == nullptr) throw Failure("the plug-in has no editor");
  }
  ~OpenEditor() {
    plugin_.editorBeingDeleted(editor_.get());
    editor_.reset();
  }
  juce::Component& Component() { return *editor_; }

 private:
  Ombrix& plugin_;
  std::unique_ptr<juce::AudioProcessorEditor> editor_;
};

void Play(Ombrix& plugin, FrameSource& source, Progress& progress) {
  const int channels = source.Channels();
  const double rate = source.SampleRate();
  const auto framesPerTick = static_cast<std::uint64_t>(rate * 0.020);
  juce::AudioBuffer<float> buffer(channels, kBlockFrames);
  juce::MidiBuffer midi;
  std::vector<float> interleaved(static_cast<std::size_t>(kBlockFrames * channels));
  std::uint64_t played = 0, nextTick = framesPerTick;
  for (;;) {
    const std::size_t frames = source.Read(interleaved.data(), kBlockFrames);
    if (frames == 0) break;
    for (int ch = 0; ch < channels; ++ch) {
      float* plane = buffer.getWritePointer(ch);
      for (std::size_t n = 0; n < frames; ++n) plane[n] = interleaved[n * static_cast<std::size_t>(channels) + ch];
    }
    juce::AudioBuffer<float> block(buffer.getArrayOfWritePointers(), channels, static_cast<int>(frames));
    plugin.processBlock(block, midi);
    played += frames;
    progress.Add(frames);
    // The idle tick drains the display's queues as it would every 20 ms.
    while (played >= nextTick) {
      plugin.OnIdle();
      nextTick += framesPerTick;
    }
  }
  plugin.OnIdle();
}

}  // namespace

void WriteEditorScreenshot(const ScreenshotRequest& request, const std::filesystem::path& png, Progress& progress) {
  FrameSource& source = *request.source;
  const int channels = source.Channels();
  if (channels != 1 && channels != 2) throw Failure("the plug-in takes mono or stereo audio");

  Ombrix plugin;
  const juce::AudioChannelSet set = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
  juce::AudioProcessor::BusesLayout layout;
  layout.inputBuses.add(set);
  layout.outputBuses.add(set);
  if (!plugin.setBusesLayout(layout)) throw Failure("the plug-in refused the channel layout");
  plugin.setNonRealtime(true);
  plugin.setRateAndBufferSizeDetails(source.SampleRate(), kBlockFrames);
  plugin.prepareToPlay(source.SampleRate(), kBlockFrames);
  const std::vector<std::uint8_t>& bytes = request.state->bytes;
  plugin.setStateInformation(bytes.data(), static_cast<int>(bytes.size()));

  juce::Image picture;
  {
    OpenEditor editor(plugin);
    plugin.SetWindowScale(request.windowScale);
    Play(plugin, source, progress);
    juce::Component& window = editor.Component();
    picture = window.createComponentSnapshot(window.getLocalBounds(), true, 1.0f);
  }
  plugin.releaseResources();

  juce::MemoryOutputStream encoded;
  if (!juce::PNGImageFormat().writeImageToStream(picture, encoded)) throw Failure("the picture could not be encoded");
  std::string error;
  const std::string_view data(static_cast<const char*>(encoded.getData()), encoded.getDataSize());
  if (!WriteDocumentAtomically(png, data, error)) throw Failure(error);
}

}  // namespace ombrix::cli
