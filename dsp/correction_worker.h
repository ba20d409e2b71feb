#pragma once
// The correction work of each instance, done in the background: a
// CorrectionEngine fed from the worker FIFO while correction is active,
// publishing the gains the audio thread applies. It also publishes the frozen
// gains while "Freeze" holds the correction, and winds the gains down to 0
// shortly after correction stops.
//
// One thread serves every instance of the process. It sleeps until an
// instance has work: a hop of new audio in its FIFO (the FIFO tells it), a
// change of settings or state (the plug-in wakes it), or the next step of a
// wind-down. A pass does only what changed since the last one: settings go to
// the engine when a parameter moved, the target is copied when its revision
// moved, and gains are published when they differ from what is published.
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

// The pace of the passes that time matters to: a wind-down runs in steps of
// the idle interval. (The active interval is what an active pass reports.)
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

// One instance's passes, one at a time. The shared thread runs a pass when
// the instance has work, and again after the interval a pass returns while
// NeedsTimedPass says so; tests drive the passes directly.
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
  // Whether the last pass left a step that only time brings (a wind-down
  // under way); otherwise a pass does nothing new until something changes.
  bool NeedsTimedPass() const { return timedPassDue_; }

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
  bool timedPassDue_ = false;
  FrozenGainsCache frozenCache_;
  // What the engine was last given; nullopt until the first active pass.
  std::optional<CorrectionSettings> engineSettings_;
  std::optional<std::uint64_t> engineTargetRevision_;
  GridCurve targetLevels_{};
  std::vector<float> left_;
  std::vector<float> right_;
};

// An instance's place on the thread that runs the correction passes of every
// instance in the process: created with the first instance, ended with the
// last. Start joins it (a first pass runs at once); Stop leaves it, waiting at
// most for a pass of this instance that is under way, never for another
// instance's. The FIFO of the host tells the thread when a hop of audio is
// waiting.
class CorrectionWorker {
 public:
  explicit CorrectionWorker(CorrectionWorkerHost& host, CorrectionWorkerIntervals intervals = {});
  ~CorrectionWorker();
  CorrectionWorker(const CorrectionWorker&) = delete;
  CorrectionWorker& operator=(const CorrectionWorker&) = delete;

  // Joins the shared thread (once; later calls do nothing while joined).
  // Throws std::system_error when the thread cannot be started.
  void Start();
  // Leaves it. Safe to call twice.
  void Stop();
  bool Started() const { return started_; }
  // Asks for a pass: a setting or state the passes read has changed. Never
  // blocks or allocates; any thread may call it.
  void Wake();

  // The threads that run correction passes now (for tests): 1 while any
  // worker is started, else 0.
  static int ThreadsRunning();

 private:
  class Client;
  class SharedThread;
  CorrectionWorkerHost& host_;
  std::shared_ptr<Client> client_;
  std::shared_ptr<SharedThread> thread_;
  bool started_ = false;
};

}  // namespace ombrix::dsp
