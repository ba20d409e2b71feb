#include "tools/ombrix/album_analysis.h"

#include <algorithm>
#include <cmath>

#include "dsp/loudness_meter.h"
#include "tools/ombrix/tonal_balance.h"

namespace ombrix::cli {

AlbumAnalysis::AlbumAnalysis(const BalanceTarget& target) {
  summary_.file = "Album";
  summary_.ok = true;
  summary_.target = target;
  summary_.balanceError = "no file had enough loud material";
}

void AlbumAnalysis::Add(const FileAnalysis& file) {
  if (!file.ok) return;
  FileAnalysis& s = summary_;
  s.sampleRate = files_ == 0 ? file.sampleRate : std::min(s.sampleRate, file.sampleRate);
  s.channels = std::max(s.channels, file.channels);
  ++files_;
  s.durationSeconds += file.durationSeconds - file.fromSeconds;
  s.maxShortTermLufs = std::max(s.maxShortTermLufs, file.maxShortTermLufs);
  s.maxMomentaryLufs = std::max(s.maxMomentaryLufs, file.maxMomentaryLufs);
  s.maxTruePeakDbtp = std::max(s.maxTruePeakDbtp, file.maxTruePeakDbtp);
  s.gatingHistogram.Merge(file.gatingHistogram);
  s.shortTermHistogram.Merge(file.shortTermHistogram);
  s.integratedLufs = dsp::LoudnessMeter::IntegratedOf(s.gatingHistogram);
  s.loudnessRangeLu = dsp::LoudnessMeter::RangeOf(s.shortTermHistogram);
  if (file.longTermLevels && file.loudSeconds > 0.0) {
    for (std::size_t i = 0; i < dsp::kGridPoints; ++i)
      weightedPowers_[i] += file.loudSeconds * std::pow(10.0, (*file.longTermLevels)[i] / 10.0);
    s.loudSeconds += file.loudSeconds;
  }
}

FileAnalysis AlbumAnalysis::Summary() const {
  FileAnalysis s = summary_;
  if (s.loudSeconds <= 0.0) return s;
  dsp::GridCurve levels{};
  for (std::size_t i = 0; i < dsp::kGridPoints; ++i) levels[i] = 10.0 * std::log10(weightedPowers_[i] / s.loudSeconds);
  s.longTermLevels = levels;
  const dsp::DeviationFit fit = BalanceAgainstTarget(levels, s.sampleRate, s.target.levels, s.target.crossovers);
  if (fit.valid) {
    s.balance = fit;
    s.balanceError.clear();
  } else {
    s.balanceError = "the deviation from the target could not be fitted";
  }
  return s;
}

}  // namespace ombrix::cli
