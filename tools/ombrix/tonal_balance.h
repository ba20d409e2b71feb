#pragma once
// The tonal balance of a long-term curve against a target, fitted the way the
// plug-in's readouts fit the live spectrum.
#include "dsp/correction_engine.h"
#include "core/frequency_grid.h"

namespace ombrix::cli {

// The learned levels (dB) are level matched to the target over the points
// valid at the file's sample rate; their deviation from the target is then
// fitted with a tilt and four band offsets (all bands trusted alike).
dsp::DeviationFit BalanceAgainstTarget(const dsp::GridCurve& learnedLevels, double sampleRate,
                                       const dsp::GridCurve& target, const dsp::Crossovers& sanitisedCrossovers);

}  // namespace ombrix::cli
