#include "library/current_target.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace ombrix {
namespace {

TargetChoice Uniform(TargetKind kind, const char* name, double level) {
  TargetChoice choice;
  choice.kind = kind;
  choice.name = name;
  choice.source = std::string(name) + ".wav";
  choice.curve.fill(level);
  choice.spread.fill(level / 2.0);
  return choice;
}

TEST(CurrentTarget, StartsBalanced) {
  const CurrentTarget current;
  const TargetChoice choice = current.Get();
  EXPECT_EQ(choice.kind, TargetKind::Balanced);
  EXPECT_EQ(choice.name, "Balanced");
  dsp::GridCurve levels;
  levels.fill(9.0);
  current.CopyCurve(levels);
  EXPECT_EQ(levels, dsp::GridCurve{});
}

// Readers never see fields of two different targets mixed.
TEST(CurrentTarget, ReadersSeeWholeRecordsOnly) {
  CurrentTarget current;
  const TargetChoice a = Uniform(TargetKind::User, "Alpha", 1.0);
  const TargetChoice b = Uniform(TargetKind::Learned, "Beta with a longer name", 2.0);
  current.Set(a);
  std::atomic<bool> stop{false};
  std::atomic<int> mixed{0};

  std::vector<std::thread> readers;
  readers.emplace_back([&] {
    while (!stop.load()) {
      const TargetChoice seen = current.Get();
      const bool isA = seen.kind == a.kind && seen.name == a.name && seen.source == a.source &&
                       seen.curve == a.curve && seen.spread == a.spread;
      const bool isB = seen.kind == b.kind && seen.name == b.name && seen.source == b.source &&
                       seen.curve == b.curve && seen.spread == b.spread;
      if (!isA && !isB) ++mixed;
    }
  });
  readers.emplace_back([&] {
    dsp::GridCurve levels;
    while (!stop.load()) {
      current.CopyCurve(levels);
      for (double v : levels) {
        if (v != levels[0] || (v != 1.0 && v != 2.0)) {
          ++mixed;
          break;
        }
      }
    }
  });
  for (int i = 0; i < 2000; ++i) current.Set((i % 2) ? a : b);
  stop = true;
  for (std::thread& t : readers) t.join();
  EXPECT_EQ(mixed.load(), 0);
}

}  // namespace
}  // namespace ombrix
