#include "dsp/learn_accumulator.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <limits>

#include "dsp/loudness_meter.h"

namespace ombrix::dsp {

namespace {

// The hold rule of HighestProgrammePoint: a steeper fall than this from one
// point to the next (about 18 dB per octave) is a filter's slope, not the
// programme's own top end, and such slopes are searched at most this many
// points (a third of an octave) below the last point within range.
constexpr double kSteepFallDbPerPoint = 1.0;
constexpr std::size_t kMaxSlopePoints = 6;
constexpr double kProgrammeReferenceLowHz = 1000.0;
constexpr double kProgrammeReferenceHighHz = 4000.0;

bool AllFinite(const GridCurve& values) {
  return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

void AddPowers(GridCurve& sum, const GridCurve& powers) {
  for (std::size_t i = 0; i < kGridPoints; ++i) sum[i] += powers[i];
}

double SegmentLevelDb(const LearnSegment& segment) { return 10.0 * std::log10(segment.energy + 1e-30); }

std::string TooLittleLoudMaterial(double loudSeconds, double minSeconds) {
  char text[160];
  std::snprintf(text, sizeof text, "only %.0f s was loud enough to learn from, at least %.0f s is needed", loudSeconds,
                minSeconds);
  return text;
}

}  // namespace

double SegmentLoudness(const LearnSegment& segment) {
  if (!(segment.weightedEnergy > 0.0)) return -std::numeric_limits<double>::infinity();
  return LoudnessMeter::kOffset + 10.0 * std::log10(2.0 * segment.weightedEnergy);
}

// Every kind of programme carries energy between 1 and 4 kHz, so the mean
// level there is the reference. The programme reaches up to the highest
// measured point within kProgrammeRangeDb of it; above that an encoder's or
// resampler's low-pass left only the remains of its slope (tens of dB down),
// or there is nothing at all (above half the sample rate). Holding such a
// level would make the target claim that music has no highs. The upper part
// of a filter's slope still lies within the range, though, so the hold
// starts lower: at the foot of a steep fall into that point, if there is one
// within a third of an octave below it. A top end that falls off gently, as
// programme material does, is held where it leaves the range.
std::size_t HighestProgrammePoint(const GridCurve& levels, const ValidFlags& hasPower) {
  std::size_t last = kGridPoints;
  double referenceSum = 0.0;
  int referenceCount = 0;
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    if (!hasPower[i]) continue;
    last = i;
    const double f = GridFrequency(i);
    if (f >= kProgrammeReferenceLowHz && f <= kProgrammeReferenceHighHz) {
      referenceSum += levels[i];
      ++referenceCount;
    }
  }
  if (last == kGridPoints) return 0;
  if (referenceCount == 0) return last;
  const double floor = referenceSum / referenceCount - kProgrammeRangeDb;
  // Some reference point lies at or above their mean, so the search ends there at the latest.
  std::size_t top = last;
  while (top > 0 && !(hasPower[top] && levels[top] >= floor)) --top;
  if (top == kGridPoints - 1) return top;  // nothing to hold
  std::size_t foot = top;
  for (std::size_t step = 0; step < kMaxSlopePoints && foot > 0; ++step) {
    const std::size_t below = foot - 1;
    if (!hasPower[below] || levels[below] - levels[foot] <= kSteepFallDbPerPoint) break;
    foot = below;
  }
  return foot;
}

std::optional<GridCurve> PowersToCurve(const GridCurve& summedPowers) {
  GridCurve levels{};
  ValidFlags hasPower{};
  std::size_t firstWithPower = kGridPoints;
  double lastLevel = 0.0;
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    const double power = summedPowers[i];
    if (power > 0.0 && std::isfinite(power)) {
      lastLevel = 10.0 * std::log10(power);
      hasPower[i] = true;
      if (firstWithPower == kGridPoints) firstWithPower = i;
    }
    levels[i] = lastLevel;
  }
  if (firstWithPower == kGridPoints) return std::nullopt;
  for (std::size_t i = 0; i < firstWithPower; ++i) levels[i] = levels[firstWithPower];
  const std::size_t top = HighestProgrammePoint(levels, hasPower);
  for (std::size_t i = top + 1; i < kGridPoints; ++i) levels[i] = levels[top];

  // Mean power over the analysis range, taken relative to its loudest point
  // so that even extreme levels cannot overflow.
  double peak = -std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    if (InAnalysisRange(GridFrequency(i))) peak = std::max(peak, levels[i]);
  }
  double sum = 0.0;
  int count = 0;
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    if (!InAnalysisRange(GridFrequency(i))) continue;
    sum += std::pow(10.0, (levels[i] - peak) / 10.0);
    ++count;
  }
  const double offset = -(peak + 10.0 * std::log10(sum / count));
  for (double& level : levels) level += offset;
  return levels;
}

void LearnAccumulator::Clear() {
  segments_.clear();
  current_ = LearnSegment{};
  totalSeconds_ = 0.0;
}

void LearnAccumulator::AddFrame(const GridCurve& bandPowers, double meanSquare, double hopSeconds) {
  if (!std::isfinite(meanSquare) || !std::isfinite(hopSeconds) || !AllFinite(bandPowers)) return;
  // Not something an analyser produces; such a frame would corrupt the durations.
  if (meanSquare < 0.0 || !(hopSeconds > 0.0)) return;

  AddPowers(current_.powers, bandPowers);
  current_.energy += meanSquare * hopSeconds;
  current_.weightedEnergy += SpectrumAnalysis::KWeightedMeanSquare(bandPowers) * hopSeconds;
  current_.duration += hopSeconds;
  totalSeconds_ += hopSeconds;
  if (current_.duration >= kLearnSegmentSeconds) {
    current_.energy /= current_.duration;
    current_.weightedEnergy /= current_.duration;
    segments_.push_back(current_);
    current_ = LearnSegment{};
  }
}

FrameObserver LearnAccumulator::Observer() {
  return [this](const GridCurve& bandPowers, double meanSquare, double hopSeconds) {
    AddFrame(bandPowers, meanSquare, hopSeconds);
  };
}

bool LearnAccumulator::Finish(double minSeconds, LearnedCurve& curve, std::string& error) const {
  // The closed segments, then the unfinished one when it holds enough audio.
  LearnSegment partial = current_;
  const bool withPartial = partial.duration >= kLearnPartialSegmentSeconds;
  if (withPartial) {
    partial.energy /= partial.duration;
    partial.weightedEnergy /= partial.duration;
  }
  const std::size_t count = segments_.size() + (withPartial ? 1 : 0);
  const auto segment = [&](std::size_t k) -> const LearnSegment& {
    return k < segments_.size() ? segments_[k] : partial;
  };

  // The relative gate is taken among the segments above the absolute gate,
  // so that long stretches of a noise floor cannot pull it down either.
  std::vector<double> levels(count);
  std::vector<bool> aboveAbsoluteGate(count);
  std::vector<double> ordered;
  for (std::size_t k = 0; k < count; ++k) {
    levels[k] = SegmentLevelDb(segment(k));
    aboveAbsoluteGate[k] = SegmentLoudness(segment(k)) > kLearnAbsoluteGateLufs;
    if (aboveAbsoluteGate[k]) ordered.push_back(levels[k]);
  }
  if (ordered.empty()) {
    error = "there was nothing loud enough to learn from";
    return false;
  }
  const std::size_t percentile = 9 * ordered.size() / 10;
  std::nth_element(ordered.begin(), ordered.begin() + static_cast<std::ptrdiff_t>(percentile), ordered.end());
  const double gate = ordered[percentile] - kLearnGateBelowPercentileDb;

  GridCurve total{};
  GridCurve chunk{};
  double loudSeconds = 0.0;
  double chunkSeconds = 0.0;
  std::vector<GridCurve> chunkCurves;
  const auto closeChunk = [&] {
    if (auto chunkCurve = PowersToCurve(chunk)) chunkCurves.push_back(*chunkCurve);
    chunk = GridCurve{};
    chunkSeconds = 0.0;
  };
  for (std::size_t k = 0; k < count; ++k) {
    if (!aboveAbsoluteGate[k] || !(levels[k] > gate)) continue;
    const LearnSegment& loud = segment(k);
    AddPowers(total, loud.powers);
    AddPowers(chunk, loud.powers);
    loudSeconds += loud.duration;
    chunkSeconds += loud.duration;
    if (chunkSeconds >= kLearnChunkSeconds) closeChunk();
  }
  if (chunkSeconds >= kLearnLastChunkSeconds) closeChunk();

  if (loudSeconds < minSeconds) {
    error = TooLittleLoudMaterial(loudSeconds, minSeconds);
    return false;
  }
  const std::optional<GridCurve> overall = PowersToCurve(total);
  if (!overall) {
    error = "there was nothing to measure";
    return false;
  }

  curve.levels = *overall;
  curve.spread.fill(0.0);
  if (chunkCurves.size() > 1) {
    const double chunks = static_cast<double>(chunkCurves.size());
    for (std::size_t i = 0; i < kGridPoints; ++i) {
      double squares = 0.0;
      for (const GridCurve& chunkCurve : chunkCurves) {
        const double deviation = chunkCurve[i] - curve.levels[i];
        squares += deviation * deviation;
      }
      curve.spread[i] = std::sqrt(squares / chunks);
    }
  }
  curve.loudSeconds = loudSeconds;
  return true;
}

}  // namespace ombrix::dsp
