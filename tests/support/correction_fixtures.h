#pragma once
// Signals and a closed correction loop for the correction engine's tests:
// stereo pink noise shaped by a known equaliser, band limits and level, and a
// harness that runs input -> engine -> correction filter -> output analyser.
#include <array>
#include <cstdint>
#include <vector>

#include "dsp/pinking_filter.h"
#include "core/correction_filter.h"
#include "core/correction_settings.h"
#include "core/eq_design.h"
#include "dsp/correction_engine.h"
#include "core/frequency_grid.h"
#include "dsp/band_analyser.h"

namespace ombrix::test_support {

// Endless pink noise (white noise through Paul Kellet's filter), about equal
// power per octave and per grid band; deterministic for a seed.
class PinkNoiseStream {
 public:
  explicit PinkNoiseStream(std::uint64_t seed);
  double Next();  // RMS about 0.1

 private:
  double White();
  std::uint64_t state_;
  dsp::PinkingFilter pinking_;
};

// How the noise is shaped, applied in this order.
struct SignalShape {
  // Gains of a shaping equaliser of the correction filter's design (tilt and
  // band sections at 200 / 2000 / 6000 Hz): the "known" deviation.
  CorrectionGains eq{};
  double highPassHz = 0.0;  // 0: none; else four 12 dB/octave sections
  double lowPassHz = 0.0;   // 0: none; else four 12 dB/octave sections
  double levelDb = 0.0;
};

// Stereo pink noise (independent channels) through a SignalShape. Changing
// the shape keeps every filter's state, so the stream runs on without a click.
class ShapedNoise {
 public:
  ShapedNoise(double sampleRate, std::uint64_t seed);
  void SetShape(const SignalShape& shape);
  void Generate(float* left, float* right, int frames);

 private:
  struct Section {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    std::array<double, 2> z1{}, z2{};
    double Run(int channel, double x);
  };
  static constexpr int kPassSections = 4;

  double sampleRate_;
  std::array<PinkNoiseStream, 2> noise_;
  CorrectionFilter eq_;
  std::array<Section, kPassSections> highPass_{};
  std::array<Section, kPassSections> lowPass_{};
  bool useHighPass_ = false;
  bool useLowPass_ = false;
  double gain_ = 1.0;
};

// The correction path in miniature: the input feeds a CorrectionEngine, its
// current gains drive a CorrectionFilter over the same input, and the output
// feeds a separate SpectrumAnalysis whose readouts show what is left.
class CorrectionLoop {
 public:
  static constexpr int kBlock = 512;

  explicit CorrectionLoop(double sampleRate);

  // Settings and target for both the engine and the output readouts.
  void SetSettings(const CorrectionSettings& settings);
  void SetTarget(const dsp::GridCurve& target);

  // Runs `seconds` of `source` through the loop in blocks of 512 frames.
  void Run(ShapedNoise& source, double seconds);

  dsp::Readouts OutputReadouts() const;
  dsp::Readouts InputReadouts() const;
  const dsp::CorrectionEngine& Engine() const { return engine_; }
  dsp::CorrectionEngine& Engine() { return engine_; }

 private:
  double sampleRate_;
  CorrectionSettings settings_{};
  dsp::GridCurve target_{};
  dsp::CorrectionEngine engine_;
  CorrectionFilter filter_;
  dsp::SpectrumAnalysis input_;
  dsp::SpectrumAnalysis output_;
  std::vector<float> left_, right_;
};

// A target curve of tilt (dB per octave around 1 kHz) plus an offset per band
// by the given crossovers.
dsp::GridCurve TiltedTarget(double tiltDbPerOctave, const dsp::BandValues& bandOffsets,
                            const dsp::Crossovers& crossovers = {});

}  // namespace ombrix::test_support
