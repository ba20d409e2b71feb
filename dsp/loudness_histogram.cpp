#include "dsp/loudness_histogram.h"

#include <algorithm>
#include <cmath>

#include "dsp/loudness_reading.h"

namespace ombrix::dsp {

double MeanSquareToLufs(double meanSquare) {
  if (!(meanSquare > 0.0)) return kNothingMeasured;
  return std::max(10.0 * std::log10(meanSquare) + LoudnessHistogram::kOffset, kNothingMeasured);
}

void LoudnessHistogram::Clear() {
  energy_.fill(0.0);
  count_.fill(0);
  totalEnergy_ = 0.0;
  totalCount_ = 0;
}

bool LoudnessHistogram::Add(double meanSquare) {
  if (!(meanSquare > 0.0) || !std::isfinite(meanSquare)) return false;
  const double loudness = 10.0 * std::log10(meanSquare) + kOffset;
  if (loudness < kAbsoluteGate) return false;
  const int bin = std::min(static_cast<int>((loudness - kAbsoluteGate) / kBinWidth), kBins - 1);
  energy_[bin] += meanSquare;
  count_[bin] += 1;
  totalEnergy_ += meanSquare;
  totalCount_ += 1;
  return true;
}

void LoudnessHistogram::Merge(const LoudnessHistogram& other) {
  for (int k = 0; k < kBins; ++k) {
    energy_[k] += other.energy_[k];
    count_[k] += other.count_[k];
  }
  totalEnergy_ += other.totalEnergy_;
  totalCount_ += other.totalCount_;
}

bool LoudnessHistogram::Empty() const { return totalCount_ == 0; }

double LoudnessHistogram::RelativeGate(double relativeGateLu) const {
  if (!(totalEnergy_ > 0.0) || totalCount_ == 0) return 0.0;
  // Compared in the linear domain: a bin passes when its mean square is at
  // least the mean of all values lowered by the gate.
  return totalEnergy_ / static_cast<double>(totalCount_) * std::pow(10.0, relativeGateLu / 10.0);
}

double LoudnessHistogram::GatedLoudness(double relativeGateLu) const {
  const double gate = RelativeGate(relativeGateLu);
  if (!(gate > 0.0)) return kNothingMeasured;
  double gatedEnergy = 0.0;
  std::uint64_t gatedCount = 0;
  for (int k = 0; k < kBins; ++k) {
    if (!Passes(k, gate)) continue;
    gatedEnergy += energy_[k];
    gatedCount += count_[k];
  }
  if (!(gatedEnergy > 0.0) || gatedCount == 0) return kNothingMeasured;
  return MeanSquareToLufs(gatedEnergy / static_cast<double>(gatedCount));
}

double LoudnessHistogram::Range(double relativeGateLu, double low, double high) const {
  const double gate = RelativeGate(relativeGateLu);
  if (!(gate > 0.0)) return kNothingMeasured;
  std::uint64_t gatedCount = 0;
  for (int k = 0; k < kBins; ++k) {
    if (Passes(k, gate)) gatedCount += count_[k];
  }
  if (gatedCount == 0) return kNothingMeasured;
  // The values' ranks in sorted order, rounded as EBU Tech 3342 rounds them.
  const auto rank = [gatedCount](double fraction) {
    return static_cast<std::uint64_t>(static_cast<double>(gatedCount - 1) * fraction + 0.5);
  };
  const std::uint64_t lowRank = rank(low), highRank = rank(high);
  double lowLoudness = kNothingMeasured, highLoudness = kNothingMeasured;
  std::uint64_t below = 0;  // values in the passing bins below bin k
  for (int k = 0; k < kBins; ++k) {
    if (!Passes(k, gate)) continue;
    const std::uint64_t through = below + count_[k];
    if (lowRank >= below && lowRank < through) lowLoudness = MeanSquareToLufs(energy_[k] / count_[k]);
    if (highRank >= below && highRank < through) {
      highLoudness = MeanSquareToLufs(energy_[k] / count_[k]);
      break;
    }
    below = through;
  }
  return std::max(highLoudness - lowLoudness, 0.0);
}

}  // namespace ombrix::dsp
