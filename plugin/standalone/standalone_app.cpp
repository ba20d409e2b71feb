// The Standalone application: Ombrix in a window of its own, playing through
// the computer's audio device. Above the editor a strip says what the input
// is doing: muted at first against feedback through the speakers (so the
// display shows NO SIGNAL until it is unmuted), with the button that unmutes
// it and the way to the audio settings.
#include <juce_audio_plugin_client/juce_audio_plugin_client.h>
#include <juce_audio_utils/juce_audio_utils.h>
#include <juce_gui_extra/juce_gui_extra.h>
// The holder of a Standalone plug-in: the processor on the audio device.
#include <juce_audio_plugin_client/Standalone/juce_StandaloneFilterWindow.h>

#include "library/data_folders.h"
#include "plugin/standalone/audio_settings_panel.h"

namespace ombrix::standalone {
namespace {

const juce::Colour kWindowBackground(10, 10, 10);
const juce::Colour kStripBackground(20, 20, 20);
const juce::Colour kWarning(255, 157, 46);
const juce::Colour kQuiet = juce::Colour(250, 250, 250).withAlpha(0.42f);

class InputStrip final : public juce::Component, private juce::Value::Listener {
 public:
  static constexpr int kHeight = 30;

  InputStrip(juce::Value& muteInput, std::function<void()> openSettings) {
    muted_.referTo(muteInput);
    muted_.addListener(this);
    unmute_.onClick = [this] { muted_ = false; };
    settings_.onClick = std::move(openSettings);
    addAndMakeVisible(message_);
    addChildComponent(unmute_);
    addAndMakeVisible(settings_);
    message_.setFont(juce::Font(13.0f));
    Show();
  }
  ~InputStrip() override { muted_.removeListener(this); }

  void paint(juce::Graphics& g) override { g.fillAll(kStripBackground); }
  void resized() override {
    juce::Rectangle<int> area = getLocalBounds().reduced(6, 4);
    settings_.setBounds(area.removeFromRight(116));
    area.removeFromRight(6);
    if (unmute_.isVisible()) unmute_.setBounds(area.removeFromRight(104));
    message_.setBounds(area);
  }

 private:
  void valueChanged(juce::Value&) override { Show(); }
  void Show() {
    const bool muted = static_cast<bool>(muted_.getValue());
    message_.setText(muted ? "Input muted against feedback: the display shows NO SIGNAL until you unmute it."
                           : "Listening to the audio input.",
                     juce::dontSendNotification);
    message_.setColour(juce::Label::textColourId, muted ? kWarning : kQuiet);
    unmute_.setVisible(muted);
    resized();
  }

  juce::Value muted_;
  juce::Label message_;
  juce::TextButton unmute_{"Unmute input"};
  juce::TextButton settings_{juce::String::fromUTF8("Audio settings\xE2\x80\xA6")};
};

class Content final : public juce::Component, private juce::ComponentListener {
 public:
  explicit Content(juce::StandalonePluginHolder& holder)
      : holder_(holder), strip_(holder.getMuteInputValue(), [this] { OpenSettings(); }) {
    addAndMakeVisible(strip_);
    editor_.reset(holder_.processor->createEditorIfNeeded());
    if (editor_ != nullptr) {
      addAndMakeVisible(*editor_);
      editor_->addComponentListener(this);
    }
    FitEditor();
  }
  ~Content() override {
    if (editor_ != nullptr) {
      editor_->removeComponentListener(this);
      holder_.processor->editorBeingDeleted(editor_.get());
      editor_.reset();
    }
  }

  void resized() override {
    strip_.setBounds(getLocalBounds().removeFromTop(InputStrip::kHeight));
    if (editor_ != nullptr) editor_->setTopLeftPosition(0, InputStrip::kHeight);
  }

 private:
  // The editor sizes itself (its corner, its size menu); the window follows.
  void componentMovedOrResized(juce::Component&, bool, bool wasResized) override {
    if (wasResized) FitEditor();
  }
  void FitEditor() {
    const int width = editor_ != nullptr ? editor_->getWidth() : 640;
    const int height = editor_ != nullptr ? editor_->getHeight() : 400;
    setSize(std::max(width, 480), height + InputStrip::kHeight);
  }
  void OpenSettings() {
    juce::DialogWindow::LaunchOptions options;
    options.content.setOwned(MakeAudioSettingsPanel(holder_.deviceManager, holder_.getMuteInputValue()).release());
    options.dialogTitle = "Audio settings";
    options.dialogBackgroundColour = kWindowBackground;
    options.escapeKeyTriggersCloseButton = true;
    options.useNativeTitleBar = true;
    options.resizable = false;
    options.launchAsync();
  }

  juce::StandalonePluginHolder& holder_;
  InputStrip strip_;
  std::unique_ptr<juce::AudioProcessorEditor> editor_;
};

class MainWindow final : public juce::DocumentWindow {
 public:
  explicit MainWindow(juce::PropertySet* settings)
      : juce::DocumentWindow("Ombrix", kWindowBackground,
                             juce::DocumentWindow::closeButton | juce::DocumentWindow::minimiseButton) {
    // Keeps the settings object; MIDI devices are never opened.
    holder_ = std::make_unique<juce::StandalonePluginHolder>(settings, false, juce::String(), nullptr,
                                                             juce::Array<juce::StandalonePluginHolder::PluginInOuts>(),
                                                             false);
    setUsingNativeTitleBar(true);
    setContentOwned(new Content(*holder_), true);
    centreWithSize(getWidth(), getHeight());
  }
  ~MainWindow() override {
    clearContentComponent();  // the editor goes before its plug-in
    holder_.reset();
  }

  void closeButtonPressed() override {
    holder_->savePluginState();
    juce::JUCEApplicationBase::quit();
  }
  juce::StandalonePluginHolder& Holder() { return *holder_; }

 private:
  std::unique_ptr<juce::StandalonePluginHolder> holder_;
};

class Application final : public juce::JUCEApplication {
 public:
  Application() {
    juce::PropertiesFile::Options options;
    options.applicationName = "Ombrix";
    options.filenameSuffix = ".settings";
    options.osxLibrarySubFolder = "Application Support";
#if JUCE_LINUX || JUCE_BSD
    options.folderName = "~/.config";
#elif JUCE_WINDOWS
    // Beside the targets and presets in %LOCALAPPDATA%\Ombrix: the audio
    // device belongs to this computer, not to a roaming profile.
    options.folderName = juce::String(ProductFolder().wstring().c_str());
#endif
    properties_.setStorageParameters(options);
  }

  const juce::String getApplicationName() override { return "Ombrix"; }
  const juce::String getApplicationVersion() override { return OMBRIX_VERSION; }
  bool moreThanOneInstanceAllowed() override { return true; }
  void anotherInstanceStarted(const juce::String&) override {}

  void initialise(const juce::String&) override {
    window_ = std::make_unique<MainWindow>(properties_.getUserSettings());
    window_->setVisible(true);
  }
  void shutdown() override {
    window_.reset();
    properties_.saveIfNeeded();
  }
  void systemRequestedQuit() override {
    if (window_ != nullptr) window_->Holder().savePluginState();
    quit();
  }

 private:
  juce::ApplicationProperties properties_;
  std::unique_ptr<MainWindow> window_;
};

}  // namespace
}  // namespace ombrix::standalone

JUCE_CREATE_APPLICATION_DEFINE(ombrix::standalone::Application)
