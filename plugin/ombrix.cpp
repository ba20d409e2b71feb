#include "plugin/ombrix.h"
#include "plugin/preset_link.h"

#include <cstring>

#include "library/factory_targets.h"
#include "library/host_application.h"

namespace ombrix {
namespace {

// The thread currently restoring state into an instance. Changes made by that
// thread while it restores are recalls, never host or editor gestures.
thread_local const Ombrix* tRestoringInstance = nullptr;

// Runs the idle loop every 20 ms for the instance's whole life.
class IdleTimer final : public juce::Timer {
 public:
  explicit IdleTimer(Ombrix& owner) : owner_(owner) {}
  void timerCallback() override { owner_.OnIdle(); }

 private:
  Ombrix& owner_;
};

}  // namespace

class Ombrix::WorkerLink final : public dsp::CorrectionWorkerHost {
 public:
  explicit WorkerLink(Ombrix& owner) : owner_(owner) {}
  double ParameterValue(int index) const override { return owner_.ParamValue(index); }
  bool FrozenValuesApply() const override { return owner_.FrozenValuesApply(); }
  bool RenderingOffline() const override { return owner_.RenderingOffline(); }
  double SampleRate() const override { return owner_.RememberedSampleRate(); }
  void CopyTargetLevels(dsp::GridCurve& levels) const override { owner_.target_.CopyCurve(levels); }
  std::optional<std::uint64_t> TargetRevision() const override { return owner_.target_.Revision(); }
  dsp::AnalysisFifo& WorkerFifo() override { return owner_.workerFifo_; }
  dsp::PublishedGains& Published() override { return owner_.published_; }

 private:
  Ombrix& owner_;
};

Ombrix::Ombrix()
    : juce::AudioProcessor(BusesProperties()
                               .withInput("Input", juce::AudioChannelSet::stereo(), true)
                               .withOutput("Output", juce::AudioChannelSet::stereo(), true)),
      ardourBasedHost_(HostIsArdourBased(juce::PluginHostType::getHostPath().toStdString())),
      keepsStereoLayout_(wrapperType == wrapperType_VST3 && ardourBasedHost_) {
  for (int i = 0; i < kNumParams; ++i) {
    auto parameter = std::make_unique<OmbrixParameter>(i, [this](int index) {
      OnParamChange(index, tRestoringInstance == this ? ParamSource::PresetRecall : ParamSource::Host);
    });
    params_[static_cast<std::size_t>(i)] = parameter.get();
    addParameter(parameter.release());
  }
  ResetReadouts();
  // Everything rate-dependent runs at 48 kHz until the host says otherwise.
  loudness_.Prepare(currentSampleRate_);
  truePeak_.Prepare(currentSampleRate_);
  filter_.Prepare(currentSampleRate_);
  offlineEngine_ = std::make_unique<dsp::CorrectionEngine>();
  offlineEngine_->Configure(currentSampleRate_);
  factoryTargets_ = LoadFactoryTargets();
  target_.Set(BalancedTarget());
  updateCheck_ = std::make_shared<kestrune::updates::UpdateCheck>(
      kestrune::updates::MakeUpdateCheckConfig("ombrix", OMBRIX_VERSION));
  serviceWorker_ = std::make_unique<kestrune::updates::ServiceWorker>(updateCheck_);
  idleTimer_ = std::make_unique<IdleTimer>(*this);
  idleTimer_->startTimer(20);
  workerLink_ = std::make_unique<WorkerLink>(*this);
  worker_ = std::make_unique<dsp::CorrectionWorker>(*workerLink_);
  worker_->Start();
}

Ombrix::~Ombrix() {
  worker_->Stop();
  serviceWorker_->Stop();
  referenceWorker_.Cancel();
  referenceWorker_.Join();
  idleTimer_->stopTimer();
}

CorrectionSettings Ombrix::GetCorrectionSettings() const {
  return MakeCorrectionSettings([this](int index) { return ParamValue(index); });
}

void Ombrix::OnParamChange(int index, ParamSource source) {
  UpdateFreezeState(index, source);
  WakeWorker();  // the correction passes read the parameters
}

void Ombrix::UpdateFreezeState(int index, ParamSource source) {
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

void Ombrix::AsRestore(const std::function<void()>& fn) {
  const Ombrix* previous = tRestoringInstance;
  tRestoringInstance = this;
  fn();
  tRestoringInstance = previous;
}

bool Ombrix::isBusesLayoutSupported(const BusesLayout& layouts) const {
  const auto in = layouts.getMainInputChannelSet();
  const auto out = layouts.getMainOutputChannelSet();
  const auto mono = juce::AudioChannelSet::mono(), stereo = juce::AudioChannelSet::stereo();
  if (keepsStereoLayout_) return in == stereo && out == stereo;
  // Mono and stereo, and a mono input on a stereo output (a mono track in a
  // stereo mix).
  return (in == out && (out == mono || out == stereo)) || (in == mono && out == stereo);
}

juce::AudioProcessorParameter* Ombrix::getBypassParameter() const {
  // The host's bypass is our "Bypass" parameter: hosts see exactly 18
  // parameters, with index 0 flagged as the bypass, and a host bypass fades
  // out the correction like the parameter does.
  return params_[kBypass];
}

const juce::String Ombrix::getProgramName(int) {
  // VST3 hosts and validators want every program of a program list named;
  // the one program is whatever preset is loaded.
  const std::string preset = PresetName();
  return preset.empty() ? juce::String("Default") : juce::String::fromUTF8(preset.c_str());
}

}  // namespace ombrix
