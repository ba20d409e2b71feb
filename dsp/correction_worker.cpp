#include "dsp/correction_worker.h"

#include <cmath>
#include <limits>

#include "core/parameter_table.h"

namespace ombrix::dsp {
namespace {

constexpr double kFallbackSampleRate = 48000.0;

double Seconds(std::chrono::milliseconds interval) { return std::chrono::duration<double>(interval).count(); }

}  // namespace

FrozenGainsCache::Key FrozenGainsCache::NanKey() {
  Key key;
  key.fill(std::numeric_limits<double>::quiet_NaN());
  return key;
}

const CorrectionGains& FrozenGainsCache::Get(const CorrectionSettings& settings, const CorrectionGains& frozen,
                                             double sampleRate) {
  const Key key{frozen[kTiltGain],        settings.amount[kTiltGain], settings.lowCrossover,
                settings.midCrossover,    settings.highCrossover,     sampleRate,
                frozen[kLowGain],         frozen[kLoMidGain],         frozen[kHiMidGain],
                frozen[kHighGain],        settings.amount[kLowGain],  settings.amount[kLoMidGain],
                settings.amount[kHiMidGain], settings.amount[kHighGain]};
  bool same = true;
  for (std::size_t k = 0; k < key.size(); ++k) same = same && key[k] == key_[k];  // NaN never matches
  if (!same) {
    gains_ = FrozenGains(settings, frozen, sampleRate);
    key_ = key;
    ++computations_;
  }
  return gains_;
}

CorrectionWorkerLoop::CorrectionWorkerLoop(CorrectionWorkerHost& host, CorrectionWorkerIntervals intervals)
    : host_(host), intervals_(intervals), left_(kChunkFrames), right_(kChunkFrames) {}

bool CorrectionWorkerLoop::On(int index) const { return IsOn(host_.ParameterValue(index)); }

double CorrectionWorkerLoop::UsableSampleRate() const {
  const double rate = host_.SampleRate();
  // A rate that is not usable would otherwise never compare equal (NaN) and
  // reset the engine on every pass.
  return std::isfinite(rate) && rate > 0.0 ? rate : kFallbackSampleRate;
}

CorrectionSettings CorrectionWorkerLoop::Settings() const {
  return MakeCorrectionSettings([this](int index) { return host_.ParameterValue(index); });
}

const CorrectionGains& CorrectionWorkerLoop::CurrentFrozenGains(const CorrectionSettings& settings,
                                                               double sampleRate) {
  CorrectionGains frozen{};
  for (std::size_t k = 0; k < kGainCount; ++k) frozen[k] = host_.ParameterValue(kFrozenParams[k]);
  return frozenCache_.Get(settings, frozen, sampleRate);
}

std::chrono::milliseconds CorrectionWorkerLoop::RunPass() {
  const bool active = On(kCorrect) && !On(kBypass);
  return active ? ActivePass() : InactivePass();
}

std::chrono::milliseconds CorrectionWorkerLoop::ActivePass() {
  PublishedGains& published = host_.Published();
  idleSeconds_ = 0.0;
  // While the host renders offline the audio thread runs its own engine.
  if (host_.RenderingOffline()) return intervals_.idle;

  const double sampleRate = UsableSampleRate();
  if (sampleRate != lastSampleRate_) {
    engine_.Configure(sampleRate);
    lastSampleRate_ = sampleRate;
    running_ = false;
  }

  if (On(kFreeze)) {
    host_.WorkerFifo().Discard();
    // While a capture is pending the published gains stay as they are.
    if (host_.FrozenValuesApply()) {
      const CorrectionGains& frozen = CurrentFrozenGains(Settings(), sampleRate);
      published.SetApplied(frozen);
      published.SetAppliedCopy(frozen);
    }
    running_ = true;
    fromFrozen_ = true;
    return intervals_.active;
  }

  if (!running_) {
    engine_.Reset();
    published.SetApplied(CorrectionGains{});
    running_ = true;
  } else if (fromFrozen_) {
    // Continue from the frozen values without a jump.
    engine_.Reset();
    engine_.SeedGains(published.Applied());
  }
  fromFrozen_ = false;

  engine_.SetSettings(Settings());
  host_.CopyTargetLevels(targetLevels_);
  engine_.SetTargetLevels(targetLevels_);
  DrainFifo();

  published.SetApplied(engine_.CurrentGains());
  published.SetAppliedCopy(engine_.CurrentGains());
  published.SetBandSlewWeights(engine_.BandSlewWeights());
  return intervals_.active;
}

void CorrectionWorkerLoop::DrainFifo() {
  AnalysisFifo& fifo = host_.WorkerFifo();
  for (;;) {
    const int frames = fifo.Read(left_.data(), right_.data(), kChunkFrames);
    if (frames <= 0) break;
    engine_.Feed(left_.data(), right_.data(), frames);
  }
}

std::chrono::milliseconds CorrectionWorkerLoop::InactivePass() {
  PublishedGains& published = host_.Published();
  host_.WorkerFifo().Discard();
  if (On(kCorrect) && On(kBypass) && !On(kFreeze)) {
    idleSeconds_ = 0.0;  // bypassed: the published gains stay for when it ends
  } else if (host_.FrozenValuesApply()) {
    published.SetApplied(CurrentFrozenGains(Settings(), UsableSampleRate()));
    running_ = true;
    fromFrozen_ = true;
    idleSeconds_ = 0.0;
  } else if (running_) {
    idleSeconds_ += Seconds(intervals_.idle);
    if (idleSeconds_ >= kWindDownSeconds) {
      published.SetApplied(CorrectionGains{});
      running_ = false;
    }
  }
  return intervals_.idle;
}

CorrectionWorker::CorrectionWorker(CorrectionWorkerHost& host, CorrectionWorkerIntervals intervals)
    : loop_(host, intervals) {}

CorrectionWorker::~CorrectionWorker() { Stop(); }

void CorrectionWorker::Start() {
  if (thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(stopMutex_);
    stopRequested_ = false;
  }
  thread_ = std::thread([this] { Run(); });
}

void CorrectionWorker::Stop() {
  {
    std::lock_guard<std::mutex> lock(stopMutex_);
    stopRequested_ = true;
  }
  stopSignal_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void CorrectionWorker::Run() {
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(stopMutex_);
      if (stopRequested_) return;
    }
    // The pass runs without the stop mutex; only the wait below holds it.
    const std::chrono::milliseconds wait = loop_.RunPass();
    std::unique_lock<std::mutex> lock(stopMutex_);
    if (stopSignal_.wait_for(lock, wait, [this] { return stopRequested_; })) return;
  }
}

}  // namespace ombrix::dsp
