// The editor's snapshot: what it shows as correction switches on, during
// silence, at a low sample rate, and how it smooths.
#include <gtest/gtest.h>

#include <cmath>

#include "support/analysis_signals.h"
#include "dsp/grid_curves.h"
#include "dsp/editor_snapshot.h"
#include "library/current_target.h"

namespace ombrix::dsp {
namespace {

struct SnapshotTest : testing::Test {
  SnapshotInputs Inputs(double rate = 48000.0) {
    SnapshotInputs in;
    in.sampleRate = rate;
    in.target = &target;
    in.inputFifo = &input;
    in.outputFifo = &output;
    return in;
  }
  // Pushes the same noise into both display FIFOs, as the audio thread does
  // while the editor is open.
  void Push(std::size_t frames, double rms = 0.1, bool toOutput = true) {
    const auto noise = ombrix::test_support::PinkNoise(seed++, frames, rms);
    std::vector<double> samples(noise.begin(), noise.end());
    const double* channels[1] = {samples.data()};
    input.Push(channels, 1, static_cast<int>(frames));
    if (toOutput) output.Push(channels, 1, static_cast<int>(frames));
  }
  CurrentTarget target;
  AnalysisFifo input, output;
  SpectrumSnapshot snapshot;
  std::uint64_t seed = 1;
};

TEST_F(SnapshotTest, OutputBecomesValidWithItsFirstFrameAfterCorrectionStarts) {
  SnapshotInputs in = Inputs();
  Push(48000);
  snapshot.BuildSpectrumSnapshot(in);
  EXPECT_TRUE(snapshot.View().inputValid);
  EXPECT_FALSE(snapshot.View().outputValid);

  in.correct = true;
  in.appliedGains = {1.0, 2.0, 0.0, 0.0, -1.0};
  Push(8191);
  snapshot.BuildSpectrumSnapshot(in);
  EXPECT_FALSE(snapshot.View().outputValid) << "what the output FIFO held before correction started is discarded";
  Push(8192);
  snapshot.BuildSpectrumSnapshot(in);
  EXPECT_TRUE(snapshot.View().outputValid);
  EXPECT_TRUE(snapshot.View().correcting);
  EXPECT_TRUE(snapshot.CurrentReadouts().valid);
  // The correction curve is the equaliser's response to the applied gains.
  const EqDesign design = DesignEq(in.appliedGains, Crossovers{}, 48000.0);
  EXPECT_NEAR(snapshot.View().correctionCurve[100], EqResponseDb(design, GridFrequency(100), 48000.0), 1e-12);
}

TEST_F(SnapshotTest, WhileBypassedNothingShowsAsCorrected) {
  SnapshotInputs in = Inputs();
  in.correct = true;
  snapshot.BuildSpectrumSnapshot(in);  // correction starts: the output starts afresh
  Push(48000);
  snapshot.BuildSpectrumSnapshot(in);
  ASSERT_TRUE(snapshot.View().correcting);
  ASSERT_TRUE(snapshot.View().outputValid);
  in.bypass = true;
  snapshot.UpdateTargetSnapshot(in);
  EXPECT_FALSE(snapshot.View().correcting);
  EXPECT_FALSE(snapshot.View().outputValid);
  in.bypass = false;
  snapshot.BuildSpectrumSnapshot(in);
  EXPECT_TRUE(snapshot.View().correcting) << "shown again once the bypass ends";
}

TEST_F(SnapshotTest, SilenceOfASecondInvalidatesButKeepsTheCurves) {
  SnapshotInputs in = Inputs();
  Push(48000);
  snapshot.BuildSpectrumSnapshot(in);
  ASSERT_TRUE(snapshot.View().inputValid);
  // Silence counts once the analysis window holds no more programme.
  Push(8192 + 40000, 0.0);
  snapshot.BuildSpectrumSnapshot(in);
  EXPECT_TRUE(snapshot.View().inputValid) << "less than a second of silent frames";
  const GridCurve held = snapshot.View().inputSpectrum;
  Push(16000, 0.0);
  snapshot.BuildSpectrumSnapshot(in);
  EXPECT_FALSE(snapshot.View().inputValid);
  EXPECT_FALSE(snapshot.CurrentReadouts().valid);
  EXPECT_EQ(snapshot.View().inputSpectrum, held) << "silent frames leave the curves as they were";
}

TEST_F(SnapshotTest, AtThirtyTwoKilohertzTheCorrectionCurveStopsAtNyquist) {
  SnapshotInputs in = Inputs(32000.0);
  in.correct = true;
  in.appliedGains = {2.0, 0.0, 0.0, 0.0, 3.0};
  Push(16384);
  snapshot.BuildSpectrumSnapshot(in);
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    if (GridFrequency(i) >= 16000.0)
      EXPECT_EQ(snapshot.View().correctionCurve[i], 0.0) << i;
    else
      EXPECT_NE(snapshot.View().correctionCurve[i], 0.0) << i;
  }
}

TEST_F(SnapshotTest, TheTargetIsSmoothedByTheChosenResolution) {
  TargetChoice spiky;
  spiky.kind = TargetKind::User;
  spiky.name = "spiky";
  spiky.curve[90] = 10.0;
  target.Set(spiky);
  SnapshotInputs in = Inputs();
  for (int resolution : {0, 2}) {
    in.resolution = resolution;
    snapshot.UpdateTargetSnapshot(in);
    const int m = ResolutionHalfWidth(resolution);
    const GridCurve& t = snapshot.View().target;
    EXPECT_GT(t[static_cast<std::size_t>(90 + m)], 0.0) << resolution;
    EXPECT_EQ(t[static_cast<std::size_t>(90 + m + 1)], 0.0) << resolution;
  }
}

}  // namespace
}  // namespace ombrix::dsp
