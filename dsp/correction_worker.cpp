#include "dsp/correction_worker.h"

#include <cmath>
#include <limits>

#include "core/parameter_table.h"

namespace ombrix::dsp {
namespace {

constexpr double kFallbackSampleRate = 48000.0;

double Seconds(std::chrono::milliseconds interval) { return std::chrono::duration<double>(interval).count(); }

// Exact comparison: a value that is not a number never matches, so such
// settings are handed on every pass (the engine sanitises them).
bool SameSettings(const CorrectionSettings& a, const CorrectionSettings& b) {
  return a.amount == b.amount && a.speedSeconds == b.speedSeconds && a.lowCrossover == b.lowCrossover &&
         a.midCrossover == b.midCrossover && a.highCrossover == b.highCrossover;
}

// Equal as the floats the gains are published as.
template <std::size_t N>
bool SameAsPublished(const std::array<double, N>& published, const std::array<double, N>& values) {
  for (std::size_t k = 0; k < N; ++k) {
    if (published[k] != static_cast<double>(static_cast<float>(values[k]))) return false;
  }
  return true;
}

}  // namespace

std::chrono::steady_clock::time_point NextPassTime(std::chrono::steady_clock::time_point now,
                                                   std::chrono::milliseconds interval) {
  if (interval.count() <= 0) return now;
  const auto sinceEpoch = now.time_since_epoch();
  return std::chrono::steady_clock::time_point((sinceEpoch / interval + 1) * interval);
}

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

  UpdateEngineSettings();
  UpdateEngineTarget();
  DrainFifo();
  PublishEngineGains();
  return intervals_.active;
}

void CorrectionWorkerLoop::UpdateEngineSettings() {
  const CorrectionSettings settings = Settings();
  if (engineSettings_ && SameSettings(*engineSettings_, settings)) return;
  engine_.SetSettings(settings);
  engineSettings_ = settings;
}

void CorrectionWorkerLoop::UpdateEngineTarget() {
  // Read before the copy: a change during the copy shows up on the next pass.
  const std::optional<std::uint64_t> revision = host_.TargetRevision();
  if (revision && engineTargetRevision_ == revision) return;
  host_.CopyTargetLevels(targetLevels_);
  engine_.SetTargetLevels(targetLevels_);
  engineTargetRevision_ = revision;
}

void CorrectionWorkerLoop::PublishEngineGains() {
  // Compared with what is published now rather than with what this loop
  // published last, so values another writer left behind are still replaced.
  PublishedGains& published = host_.Published();
  const CorrectionGains& gains = engine_.CurrentGains();
  if (!SameAsPublished(published.Applied(), gains)) published.SetApplied(gains);
  if (!SameAsPublished(published.AppliedCopy(), gains)) published.SetAppliedCopy(gains);
  if (!SameAsPublished(published.BandSlewWeights(), engine_.BandSlewWeights()))
    published.SetBandSlewWeights(engine_.BandSlewWeights());
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
  stop_.Clear();
  thread_ = std::thread([this] { Run(); });
}

void CorrectionWorker::Stop() {
  stop_.Raise();
  if (thread_.joinable()) thread_.join();
}

void CorrectionWorker::Run() {
  platform::NameThisThread("Ombrix correct");
  while (!stop_.Raised()) {
    const std::chrono::milliseconds interval = loop_.RunPass();
    if (stop_.WaitUntil(NextPassTime(std::chrono::steady_clock::now(), interval))) return;
  }
}

}  // namespace ombrix::dsp
