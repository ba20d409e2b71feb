#pragma once
// Operations on curves over the frequency grid: level matching a measured
// spectrum to a reference, smoothing across neighbouring points, and the
// display resolutions' smoothing widths.
#include "core/frequency_grid.h"

namespace ombrix::dsp {

class SpectrumAnalysis;

// out(i) = 10 log10(max(powers(i), 1e-30)), shifted by one offset so that the
// summed power over the points that are valid and within 40..16000 Hz equals
// that of the reference (a curve in dB). Left unshifted when either sum is
// not positive.
GridCurve LevelMatch(const ValidFlags& valid, const GridCurve& powers, const GridCurve& reference);
// The same with the analyser's valid flags; powers is normally one of its averages.
GridCurve LevelMatch(const SpectrumAnalysis& analysis, const GridCurve& powers, const GridCurve& reference);

enum class SmoothingMode {
  kPowerAverage,  // 10 log10 of the mean of 10^(curve/10)
  kPlainAverage,  // mean of the dB values
};

// Each valid point becomes the average of the valid points within halfWidth
// grid points on either side (clipped to the grid); invalid points keep their
// value. A halfWidth <= 0 returns the curve unchanged.
GridCurve SmoothAcrossFrequency(const GridCurve& curve, const ValidFlags& valid, int halfWidth, SmoothingMode mode);

// Smoothing half-width in grid points for a display resolution: index 0 fine
// (1/3 octave) -> 3, 1 medium (1/2 octave) -> 4, 2 smooth (1 octave) -> 9.
// Indexes outside 0..2 are clamped.
int ResolutionHalfWidth(int resolutionIndex);

}  // namespace ombrix::dsp
