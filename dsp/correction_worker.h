#pragma once
// The per-instance background thread that feeds a CorrectionEngine from the
// worker FIFO while correction is active and publishes the gains the audio
// thread applies. It also publishes the frozen gains while "Freeze" holds the
// correction, and winds the gains down to 0 shortly after correction stops.
//
// Many instances run side by side in one host, so a pass does only what
// changed since the last one: settings go to the engine when a parameter
// moved, the target is copied when its revision moved, and gains are
// published when they differ from what is published. A pass that brings no
// analysis frame costs little more than reading the parameters.
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "core/correction_settings.h"
#include "core/eq_design.h"
#include "dsp/analysis_fifo.h"
#include "dsp/correction_engine.h"
#include "core/frequency_grid.h"
#include "dsp/published_gains.h"
#include "library/platform_threads.h"

namespace ombrix::dsp {

// What the worker needs from its plug-in. Called on the worker thread; every
// read must be lock-free except CopyTargetLevels.
class CorrectionWorkerHost {
 public:
  virtual ~CorrectionWorkerHost() = default;
  // The current real (not normalised) value of a parameter (ParamIndex).
  virtual double ParameterValue(int index) const = 0;
  // "Freeze" is on, the plug-in has seen it on and no freeze capture is pending.
  virtual bool FrozenValuesApply() const = 0;
  // The host renders offline: the audio thread computes the gains itself.
  virtual bool RenderingOffline() const = 0;
  // The sample rate remembered at the last reset.
  virtual double SampleRate() const = 0;
  // The current target's 180 levels, copied under the target mutex; the
  // mutex is held for the copy and nothing else.
  virtual void CopyTargetLevels(GridCurve& levels) const = 0;
  // A number that changes whenever the current target does, read without the
  // target mutex: the worker copies the levels only when it moved. Without
  // one (nullopt) the levels are copied on every active pass.
  virtual std::optional<std::uint64_t> TargetRevision() const { return std::nullopt; }
  // Consumer side of the ring the audio thread fills.
  virtual AnalysisFifo& WorkerFifo() = 0;
  virtual PublishedGains& Published() = 0;
};

// How long the worker waits between passes.
struct CorrectionWorkerIntervals {
  std::chrono::milliseconds active{10};  // while correcting or frozen
  std::chrono::milliseconds idle{50};    // otherwise, and while rendering offline
};

// FrozenGains for the current parameters, recomputed only when one of the
// fourteen values it depends on changed.
class FrozenGainsCache {
 public:
  const CorrectionGains& Get(const CorrectionSettings& settings, const CorrectionGains& frozen, double sampleRate);
  // How many times FrozenGains ran (for tests).
  int Computations() const { return computations_; }

 private:
  using Key = std::array<double, 14>;
  Key key_ = NanKey();
  CorrectionGains gains_{};
  int computations_ = 0;

  static Key NanKey();
};

// One pass of the worker loop at a time, on one thread. The thread of
// CorrectionWorker calls RunPass and waits for the interval it returns; tests
// can drive the passes directly.
class CorrectionWorkerLoop {
 public:
  // After this long without correction the published gains return to 0.
  static constexpr double kWindDownSeconds = 0.1;
  static constexpr int kChunkFrames = 4096;

  explicit CorrectionWorkerLoop(CorrectionWorkerHost& host, CorrectionWorkerIntervals intervals = {});
  CorrectionWorkerLoop(const CorrectionWorkerLoop&) = delete;
  CorrectionWorkerLoop& operator=(const CorrectionWorkerLoop&) = delete;

  // Does one pass and returns how long to wait before the next one.
  std::chrono::milliseconds RunPass();

  bool Running() const { return running_; }
  bool FromFrozen() const { return fromFrozen_; }
  const CorrectionEngine& Engine() const { return engine_; }
  const FrozenGainsCache& FrozenCache() const { return frozenCache_; }

 private:
  bool On(int index) const;
  double UsableSampleRate() const;
  CorrectionSettings Settings() const;
  const CorrectionGains& CurrentFrozenGains(const CorrectionSettings& settings, double sampleRate);
  std::chrono::milliseconds ActivePass();
  std::chrono::milliseconds InactivePass();
  void UpdateEngineSettings();
  void UpdateEngineTarget();
  void DrainFifo();
  void PublishEngineGains();

  CorrectionWorkerHost& host_;
  CorrectionWorkerIntervals intervals_;
  CorrectionEngine engine_;
  double lastSampleRate_ = 0.0;
  bool running_ = false;
  bool fromFrozen_ = false;
  double idleSeconds_ = 0.0;
  FrozenGainsCache frozenCache_;
  // What the engine was last given; nullopt until the first active pass.
  std::optional<CorrectionSettings> engineSettings_;
  std::optional<std::uint64_t> engineTargetRevision_;
  GridCurve targetLevels_{};
  std::vector<float> left_;
  std::vector<float> right_;
};

// When the pass after one that ends at `now` starts: the next whole multiple of
// the interval on the monotonic clock, so that the workers of all instances
// in a process wake at the same moments rather than each on its own phase.
// Waking threads costs the system far more when the wake-ups are spread out
// (every one of them brings an idle processor back) than when they come
// together. A pass still starts every interval; only the first one after a
// change of interval may come sooner.
std::chrono::steady_clock::time_point NextPassTime(std::chrono::steady_clock::time_point now,
                                                   std::chrono::milliseconds interval);

// The thread. Started by its owner; Stop (or the destructor) wakes it from
// any wait at once and joins it.
class CorrectionWorker {
 public:
  explicit CorrectionWorker(CorrectionWorkerHost& host, CorrectionWorkerIntervals intervals = {});
  ~CorrectionWorker();
  CorrectionWorker(const CorrectionWorker&) = delete;
  CorrectionWorker& operator=(const CorrectionWorker&) = delete;

  // Starts the thread (once; later calls do nothing while it runs). Throws
  // std::system_error when the thread cannot be started.
  void Start();
  // Sets the stop flag, wakes the thread and joins it. Safe to call twice.
  void Stop();
  bool Started() const { return thread_.joinable(); }

 private:
  void Run();

  CorrectionWorkerLoop loop_;
  platform::StopSignal stop_;
  std::thread thread_;
};

}  // namespace ombrix::dsp
