// The audio thread: pass-through, analysis hand-off, correction with its
// cross-fade, the offline correction path and the meters. Nothing here
// allocates, waits or locks, except the short target copy while the host
// renders offline.
#include <algorithm>
#include <cmath>

#include "core/eq_design.h"
#include "plugin/ombrix.h"

namespace ombrix {
namespace {

constexpr int kPieceFrames = 256;         // filter and cross-fade granularity
constexpr int kOfflineFeedFrames = 512;   // offline analysis input granularity

float ToDbReadout(double linearPeak) { return static_cast<float>(dsp::LinearPeakToDb(linearPeak)); }

// Chunk by chunk without a branch per sample, so the compiler vectorises it;
// a NaN counts as sound.
template <typename Sample>
bool AllZero(const Sample* const* channels, int channelCount, int frames) {
  constexpr int kChunk = 64;
  for (int ch = 0; ch < channelCount; ++ch) {
    const Sample* samples = channels[ch];
    for (int start = 0; start < frames; start += kChunk) {
      const int end = std::min(frames, start + kChunk);
      int sound = 0;
      for (int i = start; i < end; ++i) sound |= samples[i] != Sample(0) ? 1 : 0;
      if (sound != 0) return false;
    }
  }
  return true;
}

}  // namespace

void Ombrix::ResetReadouts() {
  readouts_[kShortTerm].store(-150.0f);
  readouts_[kTruePeak].store(-150.0f);
  readouts_[kIntegrated].store(-150.0f);
  readouts_[kIntegratedSeconds].store(0.0f);
  readouts_[kMaxTruePeak].store(-150.0f);
  readouts_[kMomentary].store(-150.0f);
  readouts_[kMaxMomentary].store(-150.0f);
  readouts_[kLoudnessRange].store(-150.0f);
}

void Ombrix::prepareToPlay(double sampleRate, int) { OnReset(sampleRate); }

void Ombrix::OnReset(double sampleRate) {
  rememberedSampleRate_.store(sampleRate);
  WakeWorker();
  offlinePrimed_ = false;
  if (sampleRate == currentSampleRate_) return;  // same rate: meters, filter and ramp carry on
  loudness_.Prepare(sampleRate);
  truePeak_.Prepare(sampleRate);
  filter_.Prepare(sampleRate);
  rampStep_ = 1.0 / (0.02 * (sampleRate > 0.0 ? sampleRate : 48000.0));
  const bool correcting = ParamOn(kCorrect) && !ParamOn(kBypass);
  rampPosition_ = correcting ? 1.0 : 0.0;
  correcting_ = correcting;
  filterActive_ = correcting;
  offlineEngine_->Configure(sampleRate);
  currentSampleRate_ = sampleRate;
  ResetReadouts();
}

template <typename Sample>
void Ombrix::ProcessBlock(juce::AudioBuffer<Sample>& buffer) {
  juce::ScopedNoDenormals noDenormals;  // flush-to-zero and denormals-are-zero for the block
  const int frames = buffer.getNumSamples();
  if (frames <= 0) {
    ConsumeMeterResetRequest();
    return;
  }

  // Pass-through: JUCE hands in one buffer whose first channels already hold
  // the inputs. The channels that came in are measured and corrected; an
  // output beyond them (a mono input on a stereo output) then carries the
  // first channel. With no input the outputs are silent.
  const int inputs = std::min(getTotalNumInputChannels(), buffer.getNumChannels());
  const int outputs = std::min(getTotalNumOutputChannels(), buffer.getNumChannels());
  const int c = std::min({inputs, outputs, 2});
  if (c <= 0) {
    for (int ch = 0; ch < outputs; ++ch) buffer.clear(ch, 0, frames);
    ConsumeMeterResetRequest();
    return;
  }
  Sample* const* channels = buffer.getArrayOfWritePointers();
  // A silent block (hosts keep sending them while their transport stands
  // still) costs next to nothing once the filters have come to rest; what it
  // leaves behind is exactly what processing its zeros would.
  const bool silent = silenceShortcuts_ && AllZero(channels, c, frames);

  const bool bypass = ParamOn(kBypass);
  bool fedDisplay = false;
  if (editorOpen_.load(std::memory_order_relaxed) && !bypass) {
    displayInput_.Push(channels, c, frames);
    fedDisplay = true;
  }

  const bool correcting = ParamOn(kCorrect) && !bypass;
  const bool offline = isNonRealtime();
  renderingOffline_.store(offline, std::memory_order_relaxed);
  if (correcting && !offline) {
    if (silent)
      workerFifo_.PushSilence(frames);
    else
      workerFifo_.Push(channels, c, frames);
  }
  if (correcting && offline) ComputeOfflineGains(channels, c, frames);
  if (!ParamOn(kCorrect)) offlinePrimed_ = false;

  correcting_ = correcting;
  const bool wasActive = filterActive_;
  filterActive_ = correcting || rampPosition_ > 0.0;
  if (filterActive_ && !wasActive) filter_.ClearState();
  if (filterActive_) ApplyCorrection(channels, c, frames, silent);

  ConsumeMeterResetRequest();
  if (!bypass) RunMeters(channels, c, frames, silent);

  if (fedDisplay && filterActive_) displayOutput_.Push(channels, c, frames);
  for (int ch = c; ch < outputs; ++ch) buffer.copyFrom(ch, 0, buffer, 0, 0, frames);
}

template <typename Sample>
void Ombrix::ComputeOfflineGains(Sample* const* channels, int channelCount, int frames) {
  CorrectionGains gains = published_.Applied();
  if (ParamOn(kFreeze)) {
    if (FrozenValuesApply()) {
      CorrectionGains frozen{};
      for (std::size_t k = 0; k < kGainCount; ++k) frozen[k] = ParamValue(kFrozenParams[k]);
      gains = FrozenGains(GetCorrectionSettings(), frozen, rememberedSampleRate_.load());
    }
    offlinePrimed_ = true;
    offlineFromFrozen_ = true;
  } else {
    if (!offlinePrimed_) {
      offlineEngine_->Reset();
      offlinePrimed_ = true;
    } else if (offlineFromFrozen_) {
      offlineEngine_->Reset();
      offlineEngine_->SeedGains(gains);
    }
    offlineFromFrozen_ = false;
    offlineEngine_->SetSettings(GetCorrectionSettings());
    target_.CopyCurve(offlineTargetLevels_);
    offlineEngine_->SetTargetLevels(offlineTargetLevels_);

    float left[kOfflineFeedFrames];
    float right[kOfflineFeedFrames];
    const Sample* second = channels[channelCount > 1 ? 1 : 0];
    for (int start = 0; start < frames; start += kOfflineFeedFrames) {
      const int count = std::min(kOfflineFeedFrames, frames - start);
      for (int i = 0; i < count; ++i) {
        left[i] = static_cast<float>(channels[0][start + i]);
        right[i] = static_cast<float>(second[start + i]);
      }
      offlineEngine_->Feed(left, right, count);
    }
    gains = offlineEngine_->CurrentGains();
    published_.SetBandSlewWeights(offlineEngine_->BandSlewWeights());
  }
  published_.SetApplied(gains);
  published_.SetAppliedCopy(gains);
}

void Ombrix::StepRamp(double goal) {
  if (rampPosition_ < goal)
    rampPosition_ = std::min(1.0, rampPosition_ + rampStep_);
  else if (rampPosition_ > goal)
    rampPosition_ = std::max(0.0, rampPosition_ - rampStep_);
}

template <typename Sample>
void Ombrix::ApplyCorrection(Sample* const* channels, int channelCount, int frames, bool silent) {
  const CorrectionGains gains = published_.Applied();
  const double low = ParamValue(kLowCrossover), mid = ParamValue(kMidCrossover), high = ParamValue(kHighCrossover);
  double sum = low + mid + high;
  for (double g : gains) sum += g;
  if (std::isfinite(sum)) filter_.SetTarget(gains, low, mid, high);

  const double goal = correcting_ ? 1.0 : 0.0;
  if (silent && filter_.AtRest()) {
    // Zeros in, zeros out: the filter only makes its redesign checks and the
    // cross-fade moves on, piece by piece as below.
    for (int start = 0; start < frames; start += kPieceFrames) {
      const int count = std::min(kPieceFrames, frames - start);
      filter_.AdvanceThroughSilence(count);
      for (int i = 0; i < count && rampPosition_ != goal; ++i) StepRamp(goal);
    }
    ++silentBlocksShortened_;
    return;
  }
  Sample dry[2][kPieceFrames];
  for (int start = 0; start < frames; start += kPieceFrames) {
    const int count = std::min(kPieceFrames, frames - start);
    Sample* piece[2] = {channels[0] + start, channelCount > 1 ? channels[1] + start : nullptr};
    for (int ch = 0; ch < channelCount; ++ch) std::copy_n(piece[ch], count, dry[ch]);

    filter_.Process(piece, channelCount, count);
    bool blownUp = false;
    for (int ch = 0; ch < channelCount; ++ch) blownUp = blownUp || !std::isfinite(piece[ch][count - 1]);
    if (blownUp) {
      filter_.ClearState();
      for (int ch = 0; ch < channelCount; ++ch) std::copy_n(dry[ch], count, piece[ch]);
    }

    // Fully in (the usual state while correcting): the filtered samples are
    // the output as they stand.
    if (rampPosition_ >= 1.0 && goal >= 1.0) continue;
    for (int i = 0; i < count; ++i) {
      StepRamp(goal);
      for (int ch = 0; ch < channelCount; ++ch) {
        if (rampPosition_ <= 0.0)
          piece[ch][i] = dry[ch][i];
        else if (rampPosition_ < 1.0)
          piece[ch][i] = static_cast<Sample>(dry[ch][i] + (piece[ch][i] - dry[ch][i]) * rampPosition_);
      }
    }
  }
}

void Ombrix::ConsumeMeterResetRequest() {
  if (!resetMetersRequest_.exchange(false)) return;
  loudness_.Reset();
  truePeak_.Reset();
  readouts_[kIntegrated].store(-150.0f);
  readouts_[kIntegratedSeconds].store(0.0f);
  readouts_[kMaxTruePeak].store(-150.0f);
  readouts_[kMaxMomentary].store(-150.0f);
  readouts_[kLoudnessRange].store(-150.0f);
}

bool Ombrix::TransportAllowsIntegration() const {
  // Rendering offline, and with hosts that say nothing of their transport,
  // everything counts.
  if (isNonRealtime()) return true;
  juce::AudioPlayHead* head = getPlayHead();
  if (head == nullptr) return true;
  const juce::Optional<juce::AudioPlayHead::PositionInfo> position = head->getPosition();
  return !position.hasValue() || position->getIsPlaying();
}

template <typename Sample>
void Ombrix::RunMeters(const Sample* const* channels, int channelCount, int frames, bool silent) {
  loudness_.SetIntegrating(TransportAllowsIntegration());
  const bool atRest = silent && loudness_.AtRest() && truePeak_.AtRest(channelCount);
  if (atRest) ++silentBlocksShortened_;
  const int completed =
      atRest ? loudness_.ProcessSilence(frames) : loudness_.Process(channels, channelCount, frames);
  if (completed > 0) {
    readouts_[kShortTerm].store(static_cast<float>(loudness_.ShortTermLoudness()));
    readouts_[kIntegrated].store(static_cast<float>(loudness_.IntegratedLoudness()));
    readouts_[kIntegratedSeconds].store(static_cast<float>(loudness_.IntegratedSeconds()));
    readouts_[kMomentary].store(static_cast<float>(loudness_.MomentaryLoudness()));
    readouts_[kMaxMomentary].store(static_cast<float>(loudness_.MaxMomentaryLoudness()));
    readouts_[kLoudnessRange].store(static_cast<float>(loudness_.LoudnessRange()));
  }
  if (atRest)
    truePeak_.ProcessSilence(channelCount, frames);
  else
    truePeak_.Process(channels, channelCount, frames);
  readouts_[kTruePeak].store(ToDbReadout(truePeak_.RecentPeak()));
  readouts_[kMaxTruePeak].store(ToDbReadout(truePeak_.SinceResetPeak()));
}

void Ombrix::processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer&) { ProcessBlock(buffer); }
void Ombrix::processBlock(juce::AudioBuffer<double>& buffer, juce::MidiBuffer&) { ProcessBlock(buffer); }

}  // namespace ombrix
