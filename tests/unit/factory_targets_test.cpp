#include "library/factory_targets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <sstream>
#include <string>

#include "library/target_curve.h"

namespace ombrix {
namespace {

using dsp::GridFrequency;
using dsp::kGridPoints;

// The published values of the five factory targets.
struct FactoryFacts {
  const char* name;
  std::array<double, 3> firstCurve, lastCurve;
  double curveMin, curveMax;
  std::array<double, 3> firstSpread, lastSpread;
  std::array<double, 9> octavePoints;
};

constexpr std::array<std::size_t, 9> kOctaveIndices{24, 42, 65, 83, 101, 119, 137, 155, 173};

const FactoryFacts kFacts[] = {
    {"Dance", {-24.443, -23.612, -22.548}, {-22.228, -23.445, -27.238}, -27.238, 6.292, {7.487, 7.608, 7.701},
     {3.901, 0.861, 0.531}, {5.514, 1.735, -1.447, -0.051, 0.222, -1.978, -4.711, -5.280, -15.752}},
    {"Metal", {-24.836, -24.354, -23.861}, {-23.268, -22.837, -24.229}, -24.836, 4.457, {3.256, 3.353, 3.385},
     {5.133, 7.003, 8.367}, {2.095, 3.802, -1.250, -1.264, 1.260, -0.923, -3.039, -7.737, -19.587}},
    {"Pop", {-21.060, -20.318, -19.552}, {-24.239, -25.909, -28.682}, -28.682, 4.623, {10.950, 11.054, 10.660},
     {8.084, 9.584, 10.928}, {4.199, 4.428, -0.050, -0.036, 0.608, -2.175, -6.241, -8.490, -21.004}},
    {"Rock", {-28.784, -28.244, -27.697}, {-15.491, -16.996, -19.677}, -28.784, 4.480, {2.685, 2.766, 2.766},
     {16.741, 19.027, 21.539}, {-1.883, 1.165, -1.038, 0.290, 1.922, -1.346, -3.018, -8.298, -12.817}},
    {"Schlager", {-18.411, -17.895, -17.345}, {-31.655, -29.183, -29.811}, -31.655, 4.251, {6.818, 6.818, 6.764},
     {0.000, 0.000, 0.000}, {3.298, 0.738, 1.993, 1.503, -0.843, -2.531, -6.925, -7.947, -20.056}},
};

// Level at a frequency between grid points, interpolated in log frequency.
double LevelAt(const dsp::GridCurve& curve, double frequency) {
  const double position = 179.0 * std::log10(frequency / 20.0) / 3.0;
  const std::size_t i = static_cast<std::size_t>(position);
  return curve[i] + (curve[i + 1] - curve[i]) * (position - static_cast<double>(i));
}

TEST(FactoryTargets, LoadsTheFiveInNameOrderWithTheirFlags) {
  const std::vector<TargetCurve> targets = LoadFactoryTargets();
  ASSERT_EQ(targets.size(), 5u);
  const char* names[] = {"Dance", "Metal", "Pop", "Rock", "Schlager"};
  for (std::size_t t = 0; t < targets.size(); ++t) {
    EXPECT_EQ(targets[t].name, names[t]);
    EXPECT_TRUE(targets[t].factory);
    EXPECT_TRUE(targets[t].path.empty());
    EXPECT_TRUE(targets[t].source.empty());
  }
}

TEST(FactoryTargets, HoldEveryPublishedValue) {
  const std::vector<TargetCurve> targets = LoadFactoryTargets();
  ASSERT_EQ(targets.size(), std::size(kFacts));
  for (std::size_t t = 0; t < targets.size(); ++t) {
    const FactoryFacts& facts = kFacts[t];
    const TargetCurve& target = targets[t];
    SCOPED_TRACE(facts.name);
    ASSERT_EQ(target.name, facts.name);
    for (std::size_t k = 0; k < 3; ++k) {
      EXPECT_EQ(target.curve[k], facts.firstCurve[k]) << k;
      EXPECT_EQ(target.curve[kGridPoints - 3 + k], facts.lastCurve[k]) << k;
      EXPECT_EQ(target.spread[k], facts.firstSpread[k]) << k;
      EXPECT_EQ(target.spread[kGridPoints - 3 + k], facts.lastSpread[k]) << k;
    }
    for (std::size_t k = 0; k < kOctaveIndices.size(); ++k) {
      EXPECT_EQ(target.curve[kOctaveIndices[k]], facts.octavePoints[k]) << "index " << kOctaveIndices[k];
    }
    EXPECT_EQ(*std::min_element(target.curve.begin(), target.curve.end()), facts.curveMin);
    EXPECT_EQ(*std::max_element(target.curve.begin(), target.curve.end()), facts.curveMax);
  }
}

TEST(FactoryTargets, HaveTheDescribedShape) {
  double largestSpread = 0.0;
  for (const TargetCurve& target : LoadFactoryTargets()) {
    SCOPED_TRACE(target.name);
    const auto& c = target.curve;
    EXPECT_GE(c[0], -29.0);
    EXPECT_LE(c[0], -18.0);

    const std::size_t peak = static_cast<std::size_t>(std::max_element(c.begin(), c.end()) - c.begin());
    EXPECT_GE(GridFrequency(peak), 55.0);
    EXPECT_LE(GridFrequency(peak), 115.0);
    for (std::size_t i = 0; i < peak; ++i) EXPECT_LE(c[i], c[i + 1]) << "rises to the peak, index " << i;

    for (std::size_t i = 0; i < kGridPoints; ++i) {
      if (GridFrequency(i) >= 300.0 && GridFrequency(i) <= 3000.0) {
        EXPECT_GE(c[i], -5.3) << i;
        EXPECT_LE(c[i], 3.3) << i;
      }
    }

    const double at10k = LevelAt(c, 10000.0);
    ASSERT_NEAR(GridFrequency(161), 10000.0, 20.0);
    for (double level : {at10k, c[161]}) {
      EXPECT_LE(level, -6.5);
      EXPECT_GE(level, -9.8);
    }
    for (std::size_t i = 162; i < kGridPoints; ++i) EXPECT_LT(c[i], at10k) << "falls above 10 kHz, index " << i;

    // Smooth: no kinks between the ends (the last points are given as published).
    for (std::size_t i = 1; i + 7 < kGridPoints; ++i) {
      EXPECT_LT(std::fabs(c[i + 1] - 2.0 * c[i] + c[i - 1]), 0.5) << "kink at index " << i;
    }

    const auto& s = target.spread;
    const bool schlager = target.name == "Schlager";
    for (std::size_t i = 0; i < kGridPoints; ++i) {
      EXPECT_LE(s[i], 21.539) << i;
      if (schlager && i >= kGridPoints - 6) {
        EXPECT_EQ(s[i], 0.0) << i;
      } else {
        EXPECT_GT(s[i], 0.0) << i;
      }
      largestSpread = std::max(largestSpread, s[i]);
    }
  }
  EXPECT_EQ(largestSpread, 21.539);
}

// The built-in texts are exactly what the writer would produce for them.
TEST(FactoryTargets, TextsAreInTheWrittenFormat) {
  const std::vector<std::string_view> texts = FactoryTargetTexts();
  ASSERT_EQ(texts.size(), 5u);
  const char* order[] = {"Dance", "Metal", "Pop", "Rock", "Schlager"};
  for (std::size_t t = 0; t < texts.size(); ++t) {
    const std::string text(texts[t]);
    EXPECT_EQ(text.find("source="), std::string::npos);
    std::istringstream in(text);
    TargetCurve target;
    std::string error;
    ASSERT_TRUE(ReadTargetText(in, target, error, "factory target")) << error;
    EXPECT_EQ(target.name, order[t]);
    EXPECT_EQ(WriteTargetText(target.name, "", target.curve, target.spread), text);
  }
}

TEST(FactoryTargets, BalancedIsFlatAndBuiltIn) {
  const TargetChoice balanced = BalancedTarget();
  EXPECT_EQ(balanced.kind, TargetKind::Balanced);
  EXPECT_EQ(balanced.name, "Balanced");
  EXPECT_EQ(balanced.source, "");
  for (std::size_t i = 0; i < kGridPoints; ++i) {
    EXPECT_EQ(balanced.curve[i], 0.0);
    EXPECT_EQ(balanced.spread[i], 0.0);
  }
  for (const TargetCurve& target : LoadFactoryTargets()) EXPECT_NE(target.name, kBalancedTargetName);
}

}  // namespace
}  // namespace ombrix
