#pragma once
// What the loudness panel shows: one consistent-enough copy of the meter
// readouts that the audio thread publishes as independent floats.

namespace ombrix::dsp {

// Loudness and true-peak values at or below this mean "nothing measured".
inline constexpr double kNothingMeasured = -150.0;

struct LoudnessReading {
  double shortTerm = kNothingMeasured;          // LUFS, last 3 s
  double target = -14.0;                        // LUFS, the "Loudness Target" parameter
  double truePeakRecent = kNothingMeasured;     // dBTP, maximum over the last 3 s
  double integrated = kNothingMeasured;         // LUFS, gated, since the last reset
  double integratedSeconds = 0.0;               // time measured since the last reset
  double truePeakSinceReset = kNothingMeasured; // dBTP
  bool integratedMode = false;                  // panel shows integrated + since-reset peak
  double momentary = kNothingMeasured;          // LUFS, last 400 ms
  double maxMomentary = kNothingMeasured;       // LUFS, loudest 400 ms since the last reset
  double loudnessRange = kNothingMeasured;      // LU, EBU Tech 3342, since the last reset
};

// The peak-to-loudness ratio in LU: the highest true peak (dBTP) above the
// integrated loudness (LUFS) of the same stretch; kNothingMeasured when
// either was not measured.
inline double PeakToLoudnessRatio(double truePeakDb, double integratedLufs) {
  if (!(truePeakDb > kNothingMeasured) || !(integratedLufs > kNothingMeasured)) return kNothingMeasured;
  return truePeakDb - integratedLufs;
}

}  // namespace ombrix::dsp
