#include "dsp/learn_accumulator.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <limits>

namespace ombrix::dsp {

namespace {

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

std::optional<GridCurve> PowersToCurve(const GridCurve& summedPowers) {
  GridCurve levels{};
  std::size_t firstWithPower = kGridPoints;
  double lastLevel = 0.0;
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    const double power = summedPowers[i];
    if (power > 0.0 && std::isfinite(power)) {
      lastLevel = 10.0 * std::log10(power);
      if (firstWithPower == kGridPoints) firstWithPower = i;
    }
    levels[i] = lastLevel;
  }
  if (firstWithPower == kGridPoints) return std::nullopt;
  for (std::size_t i = 0; i < firstWithPower; ++i) levels[i] = levels[firstWithPower];

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
  current_.duration += hopSeconds;
  totalSeconds_ += hopSeconds;
  if (current_.duration >= kLearnSegmentSeconds) {
    current_.energy /= current_.duration;
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
  if (withPartial) partial.energy /= partial.duration;
  const std::size_t count = segments_.size() + (withPartial ? 1 : 0);
  const auto segment = [&](std::size_t k) -> const LearnSegment& {
    return k < segments_.size() ? segments_[k] : partial;
  };

  if (count == 0) {
    error = "there was nothing loud enough to learn from";
    return false;
  }

  std::vector<double> levels(count);
  for (std::size_t k = 0; k < count; ++k) levels[k] = SegmentLevelDb(segment(k));
  std::vector<double> ordered = levels;
  const std::size_t percentile = 9 * count / 10;
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
    if (!(levels[k] > gate)) continue;
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
