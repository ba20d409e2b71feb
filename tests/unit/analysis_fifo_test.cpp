// The analysis FIFO on one thread: capacity, overflow, channels, wrap-around.
#include <gtest/gtest.h>

#include <vector>

#include "dsp/analysis_fifo.h"

namespace ombrix::dsp {
namespace {

constexpr int kCapacity = static_cast<int>(AnalysisFifo::kCapacity);

std::vector<double> Ramp(int count, double start, double step) {
  std::vector<double> out(static_cast<std::size_t>(count));
  for (int n = 0; n < count; ++n) out[static_cast<std::size_t>(n)] = start + step * n;
  return out;
}

TEST(AnalysisFifo, Pushing70000FramesStoresTheFirst65536AndDropsTheRest) {
  AnalysisFifo fifo;
  const std::vector<double> left = Ramp(70000, 0.0, 1.0), right = Ramp(70000, 0.0, -1.0);
  const double* channels[2] = {left.data(), right.data()};
  EXPECT_EQ(fifo.Push(channels, 2, 70000), kCapacity);
  EXPECT_EQ(fifo.FramesWritten(), 65536u);
  EXPECT_EQ(fifo.AvailableFrames(), 65536u);
  EXPECT_EQ(fifo.Push(channels, 2, 10), 0);  // full: nothing more fits

  std::vector<float> l(70000), r(70000);
  EXPECT_EQ(fifo.Read(l.data(), r.data(), 70000), kCapacity);
  for (int n = 0; n < kCapacity; ++n) {
    ASSERT_EQ(l[static_cast<std::size_t>(n)], static_cast<float>(n));
    ASSERT_EQ(r[static_cast<std::size_t>(n)], static_cast<float>(-n));
  }
  EXPECT_EQ(fifo.Read(l.data(), r.data(), 10), 0);  // the last 4464 frames were dropped
}

TEST(AnalysisFifo, FramesWrapAroundTheStorageInOrder) {
  AnalysisFifo fifo;
  std::vector<float> l(kCapacity), r(kCapacity);
  double next = 0.0;
  double expected = 0.0;
  // Blocks that do not divide the capacity, read back in other sizes, many
  // times round the storage.
  for (int round = 0; round < 40; ++round) {
    const int pushCount = 30011;
    const std::vector<double> left = Ramp(pushCount, next, 1.0), right = Ramp(pushCount, -next, -1.0);
    const double* channels[2] = {left.data(), right.data()};
    ASSERT_EQ(fifo.Push(channels, 2, pushCount), pushCount);
    next += pushCount;
    int got = 0;
    while ((got = fifo.Read(l.data(), r.data(), 4096)) > 0) {
      for (int n = 0; n < got; ++n) {
        ASSERT_EQ(l[static_cast<std::size_t>(n)], static_cast<float>(expected));
        ASSERT_EQ(r[static_cast<std::size_t>(n)], static_cast<float>(-expected));
        expected += 1.0;
      }
    }
  }
  EXPECT_EQ(expected, next);
  EXPECT_EQ(fifo.FramesRead(), static_cast<std::uint64_t>(next));
}

// Silence pushed between sound, across the end of the storage and into a
// full ring, reads back exactly as pushed zeros would.
TEST(AnalysisFifo, PushedSilenceReadsAsZerosInItsPlace) {
  AnalysisFifo fifo;
  std::vector<float> l(kCapacity), r(kCapacity);
  const std::vector<double> sound = Ramp(60000, 1.0, 1.0);
  const double* channels[2] = {sound.data(), sound.data()};
  ASSERT_EQ(fifo.Push(channels, 2, 60000), 60000);
  ASSERT_EQ(fifo.Read(l.data(), r.data(), 60000), 60000);
  // Slots 60000.. still hold the ramp; the silence wraps past slot 65535.
  ASSERT_EQ(fifo.Push(channels, 2, 3), 3);
  EXPECT_EQ(fifo.PushSilence(10000), 10000);
  ASSERT_EQ(fifo.Push(channels, 2, 2), 2);
  EXPECT_EQ(fifo.Read(l.data(), r.data(), kCapacity), 10005);
  const auto expected = [](int n) { return n < 3 ? n + 1.0f : n < 10003 ? 0.0f : n - 10002.0f; };
  for (int n = 0; n < 10005; ++n) {
    ASSERT_EQ(l[static_cast<std::size_t>(n)], expected(n)) << n;
    ASSERT_EQ(r[static_cast<std::size_t>(n)], expected(n)) << n;
  }
  EXPECT_EQ(fifo.PushSilence(70000), kCapacity);  // as a push of zeros: what does not fit is dropped
  EXPECT_EQ(fifo.PushSilence(1), 0);
  EXPECT_EQ(fifo.PushSilence(0), 0);
}

// Reads that lie wholly in pushed silence are passed over uncopied and say
// so; any read that takes in sound copies as usual.
TEST(AnalysisFifo, ReadsOfPushedSilenceSaySoAndCopyNothing) {
  AnalysisFifo fifo;
  std::vector<float> l(100, 7.0f), r(100, 7.0f);
  const std::vector<double> sound = Ramp(10, 1.0, 1.0);
  const double* channels[2] = {sound.data(), sound.data()};
  bool silent = false;
  ASSERT_EQ(fifo.PushSilence(20), 20);  // silence from the very start
  EXPECT_EQ(fifo.Read(l.data(), r.data(), 100, silent), 20);
  EXPECT_TRUE(silent);
  EXPECT_EQ(l[0], 7.0f);

  ASSERT_EQ(fifo.Push(channels, 2, 10), 10);
  ASSERT_EQ(fifo.PushSilence(30), 30);
  EXPECT_EQ(fifo.Read(l.data(), r.data(), 15, silent), 15);  // sound, then silence
  EXPECT_FALSE(silent);
  EXPECT_EQ(l[9], 10.0f);
  EXPECT_EQ(l[10], 0.0f);
  EXPECT_EQ(fifo.Read(l.data(), r.data(), 100, silent), 25);
  EXPECT_TRUE(silent);

  ASSERT_EQ(fifo.PushSilence(5), 5);
  ASSERT_EQ(fifo.Push(channels, 2, 10), 10);  // sound after silence: nothing counts as silent
  EXPECT_EQ(fifo.Read(l.data(), r.data(), 5, silent), 5);
  EXPECT_FALSE(silent);
  EXPECT_EQ(fifo.Read(l.data(), r.data(), 100, silent), 10);
  EXPECT_FALSE(silent);
  EXPECT_EQ(l[9], 10.0f);
  EXPECT_EQ(fifo.FramesRead(), 75u);
}

struct CountingListener : FifoListener {
  void FramesWaiting() override { ++told; }
  int told = 0;
};

// The listener is told when a push leaves its threshold waiting; once as much
// silence as the consumer asked has been pushed in a row, a push of silence
// tells it only at the settled threshold, and sound tells it as before.
TEST(AnalysisFifo, ListenerIsToldRarelyOnceSilenceHasSettled) {
  AnalysisFifo fifo;
  CountingListener listener;
  fifo.SetListener(&listener, 100);
  fifo.SetSettledSilence(300, 1000);
  std::vector<float> l(kCapacity), r(kCapacity);
  const std::vector<double> sound = Ramp(100, 0.5, 0.0);
  const double* channels[2] = {sound.data(), sound.data()};
  const auto drain = [&] { fifo.Read(l.data(), r.data(), kCapacity); };

  ASSERT_EQ(fifo.Push(channels, 2, 50), 50);
  EXPECT_EQ(listener.told, 0) << "below the threshold";
  ASSERT_EQ(fifo.Push(channels, 2, 50), 50);
  EXPECT_EQ(listener.told, 1);
  drain();
  for (int i = 0; i < 3; ++i) {  // 300 frames of silence, each push before it settles
    ASSERT_EQ(fifo.PushSilence(100), 100);
    drain();
  }
  EXPECT_EQ(listener.told, 4);
  for (int i = 0; i < 9; ++i) ASSERT_EQ(fifo.PushSilence(100), 100);
  EXPECT_EQ(listener.told, 4) << "settled: 900 frames wait, below 1000";
  ASSERT_EQ(fifo.PushSilence(100), 100);
  EXPECT_EQ(listener.told, 5);
  drain();
  ASSERT_EQ(fifo.PushSilence(100), 100);
  EXPECT_EQ(listener.told, 5);
  ASSERT_EQ(fifo.Push(channels, 2, 10), 10);
  EXPECT_EQ(listener.told, 6) << "sound after settled silence";
  drain();
  ASSERT_EQ(fifo.PushSilence(100), 100);
  EXPECT_EQ(listener.told, 7) << "the run starts again after sound";

  fifo.SetSettledSilence(0, 1000);  // off
  drain();
  for (int i = 0; i < 5; ++i) ASSERT_EQ(fifo.PushSilence(100), 100);
  EXPECT_EQ(listener.told, 12);
}

// A long silence stops rewriting zeros once they fill the storage; sound in
// between must make the silence after it write its zeros again, over every
// slot the sound touched.
TEST(AnalysisFifo, SilenceAfterSoundOverwritesItAllTheWayRound) {
  AnalysisFifo fifo;
  std::vector<float> l(4096), r(4096);
  const std::vector<double> sound = Ramp(3, 1.0, 1.0);
  const double* channels[2] = {sound.data(), sound.data()};
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(fifo.Push(channels, 2, 3), 3);
    ASSERT_EQ(fifo.Read(l.data(), r.data(), 3), 3);
    EXPECT_EQ(l[2], 3.0f);
    for (int piece = 0; piece < 40; ++piece) {  // 2.5 times round the storage
      ASSERT_EQ(fifo.PushSilence(4096), 4096);
      ASSERT_EQ(fifo.Read(l.data(), r.data(), 4096), 4096);
      for (int n = 0; n < 4096; ++n) {
        ASSERT_EQ(l[static_cast<std::size_t>(n)], 0.0f) << round << " " << piece << " " << n;
        ASSERT_EQ(r[static_cast<std::size_t>(n)], 0.0f) << round << " " << piece << " " << n;
      }
    }
  }
}

TEST(AnalysisFifo, MonoIsDuplicatedAndExtraChannelsAreIgnored) {
  struct Case {
    int channels;
    float rightOf1;  // the right sample of a frame whose channels hold 1, 2, 3
  };
  for (const Case c : {Case{1, 1.0f}, Case{2, 2.0f}, Case{3, 2.0f}}) {
    AnalysisFifo fifo;
    const double a[1] = {1.0}, b[1] = {2.0}, d[1] = {3.0};
    const double* channels[3] = {a, b, d};
    ASSERT_EQ(fifo.Push(channels, c.channels, 1), 1);
    float l = 0, r = 0;
    ASSERT_EQ(fifo.Read(&l, &r, 1), 1);
    EXPECT_EQ(l, 1.0f);
    EXPECT_EQ(r, c.rightOf1) << c.channels;
  }
}

TEST(AnalysisFifo, FloatChannelsAndConversionToFloat) {
  AnalysisFifo fifo;
  const float fl[2] = {0.25f, -0.5f}, fr[2] = {1.5f, 2.0f};
  const float* floats[2] = {fl, fr};
  ASSERT_EQ(fifo.Push(floats, 2, 2), 2);
  const double dl[1] = {0.1}, dr[1] = {1e-40};
  const double* doubles[2] = {dl, dr};
  ASSERT_EQ(fifo.Push(doubles, 2, 1), 1);
  float l[3], r[3];
  ASSERT_EQ(fifo.Read(l, r, 3), 3);
  EXPECT_EQ(l[0], 0.25f);
  EXPECT_EQ(r[1], 2.0f);
  EXPECT_EQ(l[2], static_cast<float>(0.1));
  EXPECT_EQ(r[2], static_cast<float>(1e-40));
}

TEST(AnalysisFifo, EmptyOrInvalidPushesDoNothing) {
  AnalysisFifo fifo;
  const double x[4] = {1, 2, 3, 4};
  const double* channels[2] = {x, x};
  EXPECT_EQ(fifo.Push(static_cast<const double* const*>(nullptr), 2, 4), 0);
  EXPECT_EQ(fifo.Push(channels, 0, 4), 0);
  EXPECT_EQ(fifo.Push(channels, -1, 4), 0);
  EXPECT_EQ(fifo.Push(channels, 2, 0), 0);
  EXPECT_EQ(fifo.Push(channels, 2, -5), 0);
  EXPECT_EQ(fifo.FramesWritten(), 0u);
  float l[4], r[4];
  EXPECT_EQ(fifo.Read(l, r, 4), 0);
  EXPECT_EQ(fifo.Read(l, r, 0), 0);
}

TEST(AnalysisFifo, ReadTakesAtMostMaxFramesAndDiscardForgetsTheRest) {
  AnalysisFifo fifo;
  const std::vector<double> x = Ramp(1000, 0.0, 1.0);
  const double* channels[1] = {x.data()};
  fifo.Push(channels, 1, 1000);
  float l[300], r[300];
  EXPECT_EQ(fifo.Read(l, r, 300), 300);
  EXPECT_EQ(l[299], 299.0f);
  EXPECT_EQ(fifo.AvailableFrames(), 700u);
  fifo.Discard();
  EXPECT_EQ(fifo.AvailableFrames(), 0u);
  EXPECT_EQ(fifo.Read(l, r, 300), 0);
  // After a discard the whole capacity is free again.
  const std::vector<double> big = Ramp(kCapacity, 5.0, 1.0);
  const double* bigChannels[1] = {big.data()};
  EXPECT_EQ(fifo.Push(bigChannels, 1, kCapacity), kCapacity);
  EXPECT_EQ(fifo.Read(l, r, 1), 1);
  EXPECT_EQ(l[0], 5.0f);
}

}  // namespace
}  // namespace ombrix::dsp
