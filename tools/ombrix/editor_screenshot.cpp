#include "tools/ombrix/editor_screenshot.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include <juce_audio_processors/juce_audio_processors.h>

#include "editor/chip_control.h"
#include "editor/ombrix_editor.h"
#include "editor/preset_bar_control.h"
#include "editor/settings_menu_control.h"
#include "plugin/ombrix.h"
#include "tools/ombrix/command_error.h"
#include "tools/ombrix/png_file.h"

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

// The menu, its items and the rectangle of the canvas it drops from.
struct MenuAt {
  tonal_panel::MenuModel model;
  juce::Rectangle<float> anchor;
};

std::optional<MenuAt> MenuOf(tonal_panel::OmbrixEditor& editor, OpenMenu menu, const std::string& currentPreset) {
  const tonal_panel::EditorControls& controls = editor.Controls();
  switch (menu) {
    case OpenMenu::kTarget:
      if (auto* chip = dynamic_cast<kestrune::controls::ChipControl*>(controls.Tagged(tonal_panel::kTargetChipTag)))
        return MenuAt{chip->Menu(), chip->Box()};
      break;
    case OpenMenu::kPresets:
      if (auto* bar = controls.presetBar) {
        MenuAt at{{}, bar->ZoneRect(kestrune::controls::PresetBarControl::kNameBox)};
        for (const std::string& name : bar->ListMenuNames()) at.model.push_back({name, true, name == currentPreset});
        if (at.model.empty()) throw Failure("there are no presets to list");
        return at;
      }
      break;
    case OpenMenu::kSettings:
      if (controls.settingsMenu != nullptr && controls.presetBar != nullptr)
        return MenuAt{controls.settingsMenu->BuildMenu(),
                      controls.presetBar->ZoneRect(kestrune::controls::PresetBarControl::kMenu)};
      break;
    case OpenMenu::kNone:
      break;
  }
  return std::nullopt;
}

// Draws the menu as the editor's look draws its popup menus, below its
// control (right-aligned to it when it would leave the window).
void DrawMenu(juce::Graphics& g, juce::LookAndFeel& look, const MenuAt& menu, float scale, juce::Rectangle<int> window) {
  int width = 0, height = 0;
  std::vector<int> heights;
  for (const tonal_panel::MenuItem& item : menu.model) {
    int w = 0, h = 0;
    look.getIdealPopupMenuItemSize(juce::String::fromUTF8(item.text.c_str()), item.separator, -1, w, h);
    width = std::max(width, w);
    heights.push_back(h);
    height += h;
  }
  width += 8;
  const juce::Rectangle<int> anchor = (menu.anchor * scale).getSmallestIntegerContainer();
  int x = anchor.getX();
  if (x + width > window.getRight()) x = anchor.getRight() - width;
  const juce::Graphics::ScopedSaveState saved(g);
  g.setOrigin(x, anchor.getBottom() + 2);
  g.reduceClipRegion(0, 0, width, height);  // the background fills all it may
  look.drawPopupMenuBackground(g, width, height);
  int y = 0;
  for (std::size_t i = 0; i < menu.model.size(); ++i) {
    const tonal_panel::MenuItem& item = menu.model[i];
    look.drawPopupMenuItem(g, {0, y, width, heights[i]}, item.separator, item.enabled, false, item.ticked, false,
                           juce::String::fromUTF8(item.text.c_str()), {}, nullptr, nullptr);
    y += heights[i];
  }
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
    if (request.menu != OpenMenu::kNone) {
      auto& ombrixEditor = dynamic_cast<tonal_panel::OmbrixEditor&>(window);
      if (const std::optional<MenuAt> menu = MenuOf(ombrixEditor, request.menu, plugin.PresetName())) {
        juce::Graphics g(picture);
        DrawMenu(g, window.getLookAndFeel(), *menu, ombrixEditor.DrawScale(), window.getLocalBounds());
      }
    }
  }
  plugin.releaseResources();

  WritePngFile(picture, png);
}

}  // namespace ombrix::cli
