// The correction worker: every state of its loop, driven pass by pass, then
// the real thread with an audio producer, a target writer and a reader.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

#include "core/eq_design.h"
#include "core/parameter_table.h"
#include "dsp/analysis_fifo.h"
#include "dsp/correction_worker.h"
#include "dsp/published_gains.h"
#include "library/current_target.h"
#include "support/correction_fixtures.h"

namespace ombrix::dsp {
namespace {

using namespace std::chrono_literals;
using test_support::ShapedNoise;
using test_support::SignalShape;
using test_support::TiltedTarget;

// The plug-in side as the worker sees it: parameters and flags as atomics,
// the real target record with its mutex, a real FIFO and published gains.
class FakeHost : public CorrectionWorkerHost {
 public:
  FakeHost() {
    for (int i = 0; i < kNumParams; ++i) params_[i].store(Param(i).defaultValue);
    Set(kCorrectSpeed, 2.0);
    for (int k : kAmountParams) Set(k, 100.0);
    TargetChoice choice;
    choice.curve = TiltedTarget(-0.5, {-2.0, 0.5, 1.5, -1.5});
    target.Set(choice);
  }

  void Set(int index, double value) { params_[index].store(value); }

  double ParameterValue(int index) const override { return params_[index].load(); }
  bool FrozenValuesApply() const override { return frozenApply.load(); }
  bool RenderingOffline() const override { return offline.load(); }
  double SampleRate() const override { return rate.load(); }
  void CopyTargetLevels(GridCurve& levels) const override {
    target.CopyCurve(levels);
    targetCopies.fetch_add(1);
  }
  AnalysisFifo& WorkerFifo() override { return fifo; }
  PublishedGains& Published() override { return published; }

  // Pushes `seconds` of the source into the FIFO as the audio thread would.
  void PushAudio(ShapedNoise& source, double seconds) {
    std::vector<float> left(512), right(512);
    const float* channels[2] = {left.data(), right.data()};
    for (int n = 0; n < static_cast<int>(seconds * rate.load() / 512); ++n) {
      source.Generate(left.data(), right.data(), 512);
      fifo.Push(channels, 2, 512);
    }
  }

  std::atomic<bool> frozenApply{false};
  std::atomic<bool> offline{false};
  std::atomic<double> rate{48000.0};
  CurrentTarget target;
  AnalysisFifo fifo;
  PublishedGains published;
  mutable std::atomic<int> targetCopies{0};

 private:
  std::array<std::atomic<double>, kNumParams> params_{};
};

CorrectionSettings SettingsOf(const FakeHost& host) {
  return MakeCorrectionSettings([&](int index) { return host.ParameterValue(index); });
}

CorrectionGains FrozenValuesOf(const FakeHost& host) {
  CorrectionGains frozen{};
  for (std::size_t k = 0; k < kGainCount; ++k) frozen[k] = host.ParameterValue(kFrozenParams[k]);
  return frozen;
}

CorrectionGains AsPublished(const CorrectionGains& gains) {
  CorrectionGains out{};
  for (std::size_t k = 0; k < kGainCount; ++k) out[k] = static_cast<float>(gains[k]);
  return out;
}

bool AnyAbove(const CorrectionGains& gains, double size) {
  for (double g : gains) {
    if (std::fabs(g) > size) return true;
  }
  return false;
}

// A worker loop that has been correcting for a few seconds of audio.
struct Correcting {
  FakeHost host;
  CorrectionWorkerLoop loop{host};
  ShapedNoise noise{48000.0, 31};

  Correcting() {
    noise.SetShape(SignalShape{});
    host.Set(kCorrect, 1.0);
    for (int i = 0; i < 4; ++i) {
      host.PushAudio(noise, 1.0);
      EXPECT_EQ(loop.RunPass(), 10ms);
    }
  }
};

TEST(CorrectionWorkerLoop, ActivePassesDrainTheFifoAndPublishTheEngineGains) {
  Correcting c;
  EXPECT_EQ(c.host.fifo.AvailableFrames(), 0u);
  EXPECT_EQ(c.host.targetCopies.load(), 4);
  EXPECT_TRUE(c.loop.Running());
  const CorrectionGains gains = c.loop.Engine().CurrentGains();
  EXPECT_TRUE(AnyAbove(gains, 0.5));
  EXPECT_EQ(c.host.published.Applied(), AsPublished(gains));
  EXPECT_EQ(c.host.published.AppliedCopy(), AsPublished(gains));
  EXPECT_EQ(c.loop.Engine().Settings().speedSeconds, 2.0);
  EXPECT_EQ(c.loop.Engine().TargetLevels(), c.host.target.Get().curve);

  // A new sample rate reconfigures the engine and starts again from zero.
  c.host.rate.store(44100.0);
  c.loop.RunPass();
  EXPECT_EQ(c.loop.Engine().SampleRate(), 44100.0);
  EXPECT_EQ(c.host.published.Applied(), CorrectionGains{});
}

TEST(CorrectionWorkerLoop, SwitchingCorrectOffZeroesTheGainsAfterTwoIdlePasses) {
  Correcting c;
  const CorrectionGains published = c.host.published.Applied();
  c.host.Set(kCorrect, 0.0);
  c.host.PushAudio(c.noise, 0.5);

  EXPECT_EQ(c.loop.RunPass(), 50ms);
  EXPECT_EQ(c.host.fifo.AvailableFrames(), 0u);  // discarded, not analysed
  EXPECT_EQ(c.host.published.Applied(), published);
  c.loop.RunPass();
  EXPECT_EQ(c.host.published.Applied(), CorrectionGains{});
  EXPECT_FALSE(c.loop.Running());

  // On again: an engine reset, so the gains start from zero.
  c.host.Set(kCorrect, 1.0);
  c.loop.RunPass();
  EXPECT_EQ(c.host.published.Applied(), CorrectionGains{});
  EXPECT_EQ(c.loop.Engine().CurrentGains(), CorrectionGains{});
  EXPECT_FALSE(c.loop.Engine().Analysis().Primed());
}

TEST(CorrectionWorkerLoop, BypassKeepsTheGainsForWhenItEnds) {
  Correcting c;
  const CorrectionGains published = c.host.published.Applied();
  c.host.Set(kBypass, 1.0);
  for (int i = 0; i < 5; ++i) {
    c.host.PushAudio(c.noise, 0.1);
    EXPECT_EQ(c.loop.RunPass(), 50ms);
  }
  EXPECT_EQ(c.host.fifo.AvailableFrames(), 0u);
  EXPECT_EQ(c.host.published.Applied(), published);
  EXPECT_TRUE(c.loop.Running());
}

TEST(CorrectionWorkerLoop, OfflineRenderingLeavesTheWorkToTheAudioThread) {
  Correcting c;
  c.host.offline.store(true);
  c.host.published.SetApplied({1.0, 2.0, 3.0, 4.0, 5.0});  // as the offline path would
  c.host.PushAudio(c.noise, 0.1);
  const std::size_t waiting = c.host.fifo.AvailableFrames();
  EXPECT_EQ(c.loop.RunPass(), 50ms);
  EXPECT_EQ(c.host.fifo.AvailableFrames(), waiting);
  EXPECT_EQ(c.host.published.Applied(), (CorrectionGains{1.0, 2.0, 3.0, 4.0, 5.0}));
  EXPECT_EQ(c.host.targetCopies.load(), 4);
}

TEST(CorrectionWorkerLoop, FreezeHoldsFrozenGainsAndLeavingItContinuesFromThem) {
  Correcting c;
  const CorrectionGains live = c.host.published.Applied();
  c.host.Set(kFrozenTilt, 3.0);
  c.host.Set(kFrozenLow, -4.0);
  c.host.Set(kFrozenHiMid, 2.0);
  c.host.Set(kFreeze, 1.0);

  // Capture pending: nothing is published, the audio is thrown away.
  c.host.PushAudio(c.noise, 0.2);
  EXPECT_EQ(c.loop.RunPass(), 10ms);
  EXPECT_EQ(c.host.fifo.AvailableFrames(), 0u);
  EXPECT_EQ(c.host.published.Applied(), live);

  c.host.frozenApply.store(true);
  c.loop.RunPass();
  const CorrectionGains frozen =
      AsPublished(FrozenGains(SettingsOf(c.host), FrozenValuesOf(c.host), c.host.rate.load()));
  EXPECT_EQ(c.host.published.Applied(), frozen);
  EXPECT_EQ(c.host.published.AppliedCopy(), frozen);
  EXPECT_TRUE(c.loop.FromFrozen());

  // Unfreeze: reset, seeded with the frozen gains, so no jump back to 0 or to
  // the old live gains.
  c.host.Set(kFreeze, 0.0);
  c.host.frozenApply.store(false);
  c.loop.RunPass();
  EXPECT_FALSE(c.loop.FromFrozen());
  EXPECT_EQ(c.host.published.Applied(), frozen);
  EXPECT_EQ(c.loop.Engine().TargetGains(), frozen);

  // And the correction goes on from there.
  c.host.PushAudio(c.noise, 1.0);
  c.loop.RunPass();
  EXPECT_NE(c.host.published.Applied(), frozen);
}

TEST(CorrectionWorkerLoop, FrozenWhileCorrectIsOffPublishesOnlyTheAppliedGains) {
  FakeHost host;
  CorrectionWorkerLoop loop(host);
  host.Set(kFrozenHigh, -5.0);
  host.Set(kFreeze, 1.0);
  host.frozenApply.store(true);
  host.published.SetAppliedCopy({9.0, 9.0, 9.0, 9.0, 9.0});

  EXPECT_EQ(loop.RunPass(), 50ms);
  const CorrectionGains frozen = AsPublished(FrozenGains(SettingsOf(host), FrozenValuesOf(host), 48000.0));
  EXPECT_EQ(host.published.Applied(), frozen);
  EXPECT_EQ(host.published.AppliedCopy(), (CorrectionGains{9.0, 9.0, 9.0, 9.0, 9.0}));
  EXPECT_TRUE(loop.Running());

  // Leaving Freeze with Correct off winds down like switching Correct off.
  host.Set(kFreeze, 0.0);
  host.frozenApply.store(false);
  loop.RunPass();
  EXPECT_EQ(host.published.Applied(), frozen);
  loop.RunPass();
  EXPECT_EQ(host.published.Applied(), CorrectionGains{});
}

TEST(CorrectionWorkerLoop, FrozenGainsFollowEveryValueTheyDependOn) {
  FakeHost host;
  CorrectionWorkerLoop loop(host);
  // Large frozen values, so the +-6 dB limiter (and with it the crossovers and
  // the rate) matters too.
  const std::array<double, 5> frozen{12.0, -10.0, 8.0, -9.0, 11.0};
  for (std::size_t k = 0; k < kGainCount; ++k) host.Set(kFrozenParams[k], frozen[k]);
  host.Set(kFreeze, 1.0);
  host.frozenApply.store(true);
  loop.RunPass();
  ASSERT_EQ(loop.FrozenCache().Computations(), 1);
  loop.RunPass();
  EXPECT_EQ(loop.FrozenCache().Computations(), 1);  // nothing changed: cached

  struct Change {
    int param;  // -1: the sample rate
    double value;
  };
  const Change changes[] = {
      {kFrozenTilt, 6.0},     {kCorrectTilt, 40.0},   {kLowCrossover, 120.0}, {kMidCrossover, 900.0},
      {kHighCrossover, 3000.0}, {-1, 32000.0},        {kFrozenLow, -3.0},     {kFrozenLoMid, 2.0},
      {kFrozenHiMid, -1.0},   {kFrozenHigh, 4.0},     {kCorrectLow, 30.0},    {kCorrectLoMid, 20.0},
      {kCorrectHiMid, 70.0},  {kCorrectHigh, 10.0},
  };
  int expectedComputations = 1;
  for (const Change& change : changes) {
    const CorrectionGains before = host.published.Applied();
    if (change.param < 0) {
      host.rate.store(change.value);
    } else {
      host.Set(change.param, change.value);
    }
    loop.RunPass();
    ++expectedComputations;
    const CorrectionGains expected =
        AsPublished(FrozenGains(SettingsOf(host), FrozenValuesOf(host), host.rate.load()));
    EXPECT_NE(expected, before) << "change of parameter " << change.param << " should matter";
    EXPECT_EQ(host.published.Applied(), expected) << "parameter " << change.param;
    EXPECT_EQ(loop.FrozenCache().Computations(), expectedComputations) << "parameter " << change.param;
  }
}

// The plug-in's link also reports the target's revision: the worker then
// copies the levels only when the target changed, and hands the engine its
// settings only when a parameter moved. Neither may delay a change.
class RevisionHost : public FakeHost {
 public:
  std::optional<std::uint64_t> TargetRevision() const override { return target.Revision(); }
};

TEST(CorrectionWorkerLoop, ASettingOrTargetChangeReachesTheEngineOnTheNextPass) {
  RevisionHost host;
  CorrectionWorkerLoop loop(host);
  ShapedNoise noise(48000.0, 31);
  noise.SetShape(SignalShape{});
  host.Set(kCorrect, 1.0);
  for (int i = 0; i < 3; ++i) {
    host.PushAudio(noise, 1.0);
    loop.RunPass();
  }
  EXPECT_EQ(host.targetCopies.load(), 1);  // an unchanged target is not copied again
  const CorrectionGains before = loop.Engine().CurrentGains();

  TargetChoice brighter;
  brighter.curve = TiltedTarget(1.0, {3.0, -1.0, 0.0, 2.0});
  host.target.Set(brighter);
  loop.RunPass();
  EXPECT_EQ(loop.Engine().TargetLevels(), brighter.curve);
  // And the correction turns towards it as soon as audio arrives.
  host.PushAudio(noise, 1.0);
  loop.RunPass();
  EXPECT_NE(loop.Engine().TargetGains(), before);
  EXPECT_EQ(host.published.Applied(), AsPublished(loop.Engine().CurrentGains()));

  struct Change {
    int param;
    double value;
  };
  const Change changes[] = {
      {kCorrectTilt, 40.0},   {kCorrectLow, 30.0},     {kCorrectLoMid, 20.0},
      {kCorrectHiMid, 70.0},  {kCorrectHigh, 10.0},    {kCorrectSpeed, 7.0},
      {kLowCrossover, 150.0}, {kMidCrossover, 1500.0}, {kHighCrossover, 5000.0},
  };
  for (const Change& change : changes) {
    host.Set(change.param, change.value);
    loop.RunPass();
    const CorrectionSettings expected = SettingsOf(host);
    const CorrectionSettings& engine = loop.Engine().Settings();
    EXPECT_EQ(engine.amount, expected.amount) << "parameter " << change.param;
    EXPECT_EQ(engine.speedSeconds, expected.speedSeconds) << "parameter " << change.param;
    EXPECT_EQ(engine.lowCrossover, expected.lowCrossover) << "parameter " << change.param;
    EXPECT_EQ(engine.midCrossover, expected.midCrossover) << "parameter " << change.param;
    EXPECT_EQ(engine.highCrossover, expected.highCrossover) << "parameter " << change.param;
    const Crossovers analysed = loop.Engine().Analysis().CurrentCrossovers();
    const Crossovers sanitised =
        SanitizeCrossovers(expected.lowCrossover, expected.midCrossover, expected.highCrossover);
    EXPECT_EQ(analysed.low, sanitised.low) << "parameter " << change.param;
    EXPECT_EQ(analysed.mid, sanitised.mid) << "parameter " << change.param;
    EXPECT_EQ(analysed.high, sanitised.high) << "parameter " << change.param;
  }
  EXPECT_EQ(host.targetCopies.load(), 2);
}

// ---------------------------------------------------------------- the thread

TEST(CorrectionWorker, StopWakesTheThreadFromItsWait) {
  FakeHost host;
  host.Set(kCorrect, 1.0);
  // Waits so long that a stop waiting them out would be obvious.
  auto worker = std::make_unique<CorrectionWorker>(host, CorrectionWorkerIntervals{10s, 10s});
  worker->Start();
  EXPECT_TRUE(worker->Started());
  while (host.targetCopies.load() == 0) std::this_thread::sleep_for(1ms);  // first pass done, now waiting

  const auto start = std::chrono::steady_clock::now();
  worker.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

TEST(CorrectionWorker, CorrectsLiveAudioWhileTheTargetChangesUnderneath) {
  FakeHost host;
  host.Set(kCorrect, 1.0);
  CorrectionWorker worker(host);
  worker.Start();
  worker.Start();  // a second start changes nothing

  std::atomic<bool> done{false};
  std::thread audio([&] {
    ShapedNoise noise(48000.0, 41);
    noise.SetShape(SignalShape{});
    for (int block = 0; block < 4 * 48000 / 512 && !done.load(); ++block) {
      host.PushAudio(noise, 512.0 / 48000.0);
      std::this_thread::sleep_for(1ms);
    }
  });
  std::thread editor([&] {
    TargetChoice a;
    a.curve = TiltedTarget(-0.5, {-2.0, 0.5, 1.5, -1.5});
    TargetChoice b;
    b.curve = TiltedTarget(-0.6, {-2.0, 0.5, 1.5, -1.5});
    for (int i = 0; !done.load(); ++i) {
      host.target.Set(i % 2 ? a : b);
      const CorrectionGains applied = host.published.Applied();
      const BandValues weights = host.published.BandSlewWeights();
      for (double g : applied) ASSERT_TRUE(std::isfinite(g));
      for (double w : weights) ASSERT_TRUE(w >= 0.0 && w <= 1.0);
      std::this_thread::sleep_for(2ms);
    }
  });

  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (!AnyAbove(host.published.Applied(), 0.5) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(5ms);
  }
  done.store(true);
  audio.join();
  editor.join();
  worker.Stop();
  worker.Stop();
  EXPECT_FALSE(worker.Started());
  EXPECT_TRUE(AnyAbove(host.published.Applied(), 0.5));
  EXPECT_GT(host.targetCopies.load(), 1);
}

// ------------------------------------------------------ the shared thread

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit = 5s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

TEST(CorrectionWorker, OneThreadServesEveryInstanceAndEndsWithTheLast) {
  ASSERT_EQ(CorrectionWorker::ThreadsRunning(), 0);
  FakeHost a, b;
  auto first = std::make_unique<CorrectionWorker>(a);
  auto second = std::make_unique<CorrectionWorker>(b);
  first->Start();
  second->Start();
  EXPECT_EQ(CorrectionWorker::ThreadsRunning(), 1);
  first.reset();
  EXPECT_EQ(CorrectionWorker::ThreadsRunning(), 1);
  second.reset();
  EXPECT_EQ(CorrectionWorker::ThreadsRunning(), 0);
}

TEST(CorrectionWorker, PassesComeWithAudioAndChangesNotWithTheClock) {
  FakeHost host;  // no target revision: every active pass copies the target, so copies count passes
  host.Set(kCorrect, 1.0);
  CorrectionWorker worker(host);
  worker.Start();
  ASSERT_TRUE(WaitFor([&] { return host.targetCopies.load() == 1; })) << "a first pass at once";
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(host.targetCopies.load(), 1) << "nothing to do: no pass";

  ShapedNoise noise(48000.0, 5);
  host.PushAudio(noise, 1024.0 / 48000.0);  // less than a hop
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(host.targetCopies.load(), 1);
  host.PushAudio(noise, 1024.0 / 48000.0);  // a hop is waiting now
  EXPECT_TRUE(WaitFor([&] { return host.targetCopies.load() == 2; })) << "woken by the audio";
  EXPECT_TRUE(WaitFor([&] { return host.fifo.AvailableFrames() == 0; }));

  worker.Wake();  // a setting changed
  EXPECT_TRUE(WaitFor([&] { return host.targetCopies.load() == 3; }));
}

// Once the analysis window holds nothing but silence, further silence only
// moves counts: the worker is woken for it when half the FIFO waits, not for
// each hop, and sound after it wakes the worker at once.
TEST(CorrectionWorker, LongSilenceWakesTheWorkerRarely) {
  FakeHost host;
  host.Set(kCorrect, 1.0);
  CorrectionWorker worker(host);
  worker.Start();
  ASSERT_TRUE(WaitFor([&] { return host.targetCopies.load() == 1; }));
  // A hop at a time, each drained before the next: every hop is told.
  ShapedNoise noise(48000.0, 6);
  constexpr double kHopSeconds = SpectrumAnalysis::kHopSize / 48000.0;
  for (int hop = 0; hop < 12; ++hop) {
    host.PushAudio(noise, kHopSeconds);
    ASSERT_TRUE(WaitFor([&] { return host.fifo.AvailableFrames() == 0; })) << hop;
  }
  // The end of the sound, up to a window and a hop of silence, is told hop by hop.
  const int settling = static_cast<int>(SpectrumAnalysis::kFftSize + SpectrumAnalysis::kHopSize);
  for (int pushed = 0; pushed < settling; pushed += 512) {
    host.fifo.PushSilence(512);
    if ((pushed + 512) % static_cast<int>(SpectrumAnalysis::kHopSize) == 0) {
      ASSERT_TRUE(WaitFor([&] { return host.fifo.AvailableFrames() == 0; })) << pushed;
    }
  }
  const int settled = host.targetCopies.load();

  constexpr int kHalf = static_cast<int>(AnalysisFifo::kCapacity / 2);
  for (int pushed = 0; pushed < kHalf - 512; pushed += 512) {
    host.fifo.PushSilence(512);
    if ((pushed + 512) % static_cast<int>(SpectrumAnalysis::kHopSize) == 0) std::this_thread::sleep_for(10ms);
  }
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(host.targetCopies.load(), settled) << "15 hops of settled silence: no pass";
  host.fifo.PushSilence(512);
  EXPECT_TRUE(WaitFor([&] { return host.fifo.AvailableFrames() == 0; })) << "half the FIFO waits: a pass";
  const int afterSilence = host.targetCopies.load();
  EXPECT_GT(afterSilence, settled);

  host.fifo.PushSilence(4096);
  std::vector<float> left(SpectrumAnalysis::kHopSize), right(SpectrumAnalysis::kHopSize);
  noise.Generate(left.data(), right.data(), static_cast<int>(left.size()));
  const float* channels[2] = {left.data(), right.data()};
  host.fifo.Push(channels, 2, static_cast<int>(left.size()));  // one push: the worker drains it all
  EXPECT_TRUE(WaitFor([&] { return host.fifo.AvailableFrames() == 0; })) << "sound wakes it at once";
  EXPECT_GT(host.targetCopies.load(), afterSilence);
}

TEST(CorrectionWorker, AWindDownFinishesOnItsOwnAfterCorrectGoesOff) {
  FakeHost host;
  host.Set(kCorrect, 1.0);
  CorrectionWorker worker(host);
  worker.Start();
  ShapedNoise noise(48000.0, 6);
  noise.SetShape(SignalShape{});
  ASSERT_TRUE(WaitFor(
      [&] {
        host.PushAudio(noise, 0.05);
        return AnyAbove(host.published.Applied(), 0.05);
      },
      20s));
  host.Set(kCorrect, 0.0);
  worker.Wake();
  EXPECT_TRUE(WaitFor([&] { return !AnyAbove(host.published.Applied(), 0.0); }, 2s))
      << "the gains return to 0 without any further wake";
}

// Instances come and go while others play, all on the one thread.
TEST(CorrectionWorker, InstancesComeAndGoWhileOthersPlay) {
  constexpr int kPlaying = 3;
  std::array<FakeHost, kPlaying> hosts;
  std::vector<std::unique_ptr<CorrectionWorker>> workers;
  for (FakeHost& host : hosts) {
    host.Set(kCorrect, 1.0);
    workers.push_back(std::make_unique<CorrectionWorker>(host));
    workers.back()->Start();
  }
  std::atomic<bool> done{false};
  std::thread audio([&] {
    std::vector<ShapedNoise> sources;
    for (int i = 0; i < kPlaying; ++i) {
      sources.emplace_back(48000.0, 50 + i);
      sources.back().SetShape(SignalShape{});
    }
    while (!done.load()) {
      for (int i = 0; i < kPlaying; ++i) hosts[static_cast<std::size_t>(i)].PushAudio(sources[static_cast<std::size_t>(i)], 512.0 / 48000.0);
      std::this_thread::sleep_for(1ms);
    }
  });
  std::thread churn([&] {
    ShapedNoise noise(48000.0, 70);
    for (int round = 0; !done.load(); ++round) {
      FakeHost passing;
      passing.Set(kCorrect, 1.0);
      CorrectionWorker worker(passing);
      worker.Start();
      passing.PushAudio(noise, 0.1);  // work under way when it leaves
      if (round % 2) std::this_thread::sleep_for(1ms);
    }
  });
  const bool corrected = WaitFor(
      [&] {
        for (FakeHost& host : hosts)
          if (!AnyAbove(host.published.Applied(), 0.5)) return false;
        return true;
      },
      30s);
  done.store(true);
  audio.join();
  churn.join();
  EXPECT_TRUE(corrected) << "every playing instance kept being served";
  workers.clear();
  EXPECT_EQ(CorrectionWorker::ThreadsRunning(), 0);
}

}  // namespace
}  // namespace ombrix::dsp
