#include "dsp/correction_worker.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <thread>

#include "core/parameter_table.h"
#include "library/platform_threads.h"

namespace ombrix::dsp {
namespace {

constexpr double kFallbackSampleRate = 48000.0;

double Seconds(std::chrono::milliseconds interval) { return std::chrono::duration<double>(interval).count(); }

// Exact comparison: a value that is not a number never matches, so such
// settings are handed on every pass (the engine sanitises them).
bool SameSettings(const CorrectionSettings& a, const CorrectionSettings& b) {
  return a.amount == b.amount && a.speedSeconds == b.speedSeconds && a.lowCrossover == b.lowCrossover &&
         a.midCrossover == b.midCrossover && a.highCrossover == b.highCrossover;
}

// Equal as the floats the gains are published as.
template <std::size_t N>
bool SameAsPublished(const std::array<double, N>& published, const std::array<double, N>& values) {
  for (std::size_t k = 0; k < N; ++k) {
    if (published[k] != static_cast<double>(static_cast<float>(values[k]))) return false;
  }
  return true;
}

}  // namespace

FrozenGainsCache::Key FrozenGainsCache::NanKey() {
  Key key;
  key.fill(std::numeric_limits<double>::quiet_NaN());
  return key;
}

const CorrectionGains& FrozenGainsCache::Get(const CorrectionSettings& settings, const CorrectionGains& frozen,
                                             double sampleRate) {
  const Key key{frozen[kTiltGain],        settings.amount[kTiltGain], settings.lowCrossover,
                settings.midCrossover,    settings.highCrossover,     sampleRate,
                frozen[kLowGain],         frozen[kLoMidGain],         frozen[kHiMidGain],
                frozen[kHighGain],        settings.amount[kLowGain],  settings.amount[kLoMidGain],
                settings.amount[kHiMidGain], settings.amount[kHighGain]};
  bool same = true;
  for (std::size_t k = 0; k < key.size(); ++k) same = same && key[k] == key_[k];  // NaN never matches
  if (!same) {
    gains_ = FrozenGains(settings, frozen, sampleRate);
    key_ = key;
    ++computations_;
  }
  return gains_;
}

CorrectionWorkerLoop::CorrectionWorkerLoop(CorrectionWorkerHost& host, CorrectionWorkerIntervals intervals)
    : host_(host), intervals_(intervals), left_(kChunkFrames), right_(kChunkFrames) {}

bool CorrectionWorkerLoop::On(int index) const { return IsOn(host_.ParameterValue(index)); }

double CorrectionWorkerLoop::UsableSampleRate() const {
  const double rate = host_.SampleRate();
  // A rate that is not usable would otherwise never compare equal (NaN) and
  // reset the engine on every pass.
  return std::isfinite(rate) && rate > 0.0 ? rate : kFallbackSampleRate;
}

CorrectionSettings CorrectionWorkerLoop::Settings() const {
  return MakeCorrectionSettings([this](int index) { return host_.ParameterValue(index); });
}

const CorrectionGains& CorrectionWorkerLoop::CurrentFrozenGains(const CorrectionSettings& settings,
                                                               double sampleRate) {
  CorrectionGains frozen{};
  for (std::size_t k = 0; k < kGainCount; ++k) frozen[k] = host_.ParameterValue(kFrozenParams[k]);
  return frozenCache_.Get(settings, frozen, sampleRate);
}

std::chrono::milliseconds CorrectionWorkerLoop::RunPass() {
  timedPassDue_ = false;
  const bool active = On(kCorrect) && !On(kBypass);
  return active ? ActivePass() : InactivePass();
}

std::chrono::milliseconds CorrectionWorkerLoop::ActivePass() {
  PublishedGains& published = host_.Published();
  idleSeconds_ = 0.0;
  // While the host renders offline the audio thread runs its own engine.
  if (host_.RenderingOffline()) return intervals_.idle;

  const double sampleRate = UsableSampleRate();
  if (sampleRate != lastSampleRate_) {
    engine_.Configure(sampleRate);
    lastSampleRate_ = sampleRate;
    running_ = false;
  }

  if (On(kFreeze)) {
    host_.WorkerFifo().Discard();
    // While a capture is pending the published gains stay as they are.
    if (host_.FrozenValuesApply()) {
      const CorrectionGains& frozen = CurrentFrozenGains(Settings(), sampleRate);
      published.SetApplied(frozen);
      published.SetAppliedCopy(frozen);
    }
    running_ = true;
    fromFrozen_ = true;
    return intervals_.active;
  }

  if (!running_) {
    engine_.Reset();
    published.SetApplied(CorrectionGains{});
    running_ = true;
  } else if (fromFrozen_) {
    // Continue from the frozen values without a jump.
    engine_.Reset();
    engine_.SeedGains(published.Applied());
  }
  fromFrozen_ = false;

  UpdateEngineSettings();
  UpdateEngineTarget();
  DrainFifo();
  PublishEngineGains();
  return intervals_.active;
}

void CorrectionWorkerLoop::UpdateEngineSettings() {
  const CorrectionSettings settings = Settings();
  if (engineSettings_ && SameSettings(*engineSettings_, settings)) return;
  engine_.SetSettings(settings);
  engineSettings_ = settings;
}

void CorrectionWorkerLoop::UpdateEngineTarget() {
  // Read before the copy: a change during the copy shows up on the next pass.
  const std::optional<std::uint64_t> revision = host_.TargetRevision();
  if (revision && engineTargetRevision_ == revision) return;
  host_.CopyTargetLevels(targetLevels_);
  engine_.SetTargetLevels(targetLevels_);
  engineTargetRevision_ = revision;
}

void CorrectionWorkerLoop::PublishEngineGains() {
  // Compared with what is published now rather than with what this loop
  // published last, so values another writer left behind are still replaced.
  PublishedGains& published = host_.Published();
  const CorrectionGains& gains = engine_.CurrentGains();
  if (!SameAsPublished(published.Applied(), gains)) published.SetApplied(gains);
  if (!SameAsPublished(published.AppliedCopy(), gains)) published.SetAppliedCopy(gains);
  if (!SameAsPublished(published.BandSlewWeights(), engine_.BandSlewWeights()))
    published.SetBandSlewWeights(engine_.BandSlewWeights());
}

void CorrectionWorkerLoop::DrainFifo() {
  AnalysisFifo& fifo = host_.WorkerFifo();
  for (;;) {
    bool silent = false;
    const int frames = fifo.Read(left_.data(), right_.data(), kChunkFrames, silent);
    if (frames <= 0) break;
    if (silent) {
      engine_.FeedSilence(frames);
    } else {
      engine_.Feed(left_.data(), right_.data(), frames);
    }
  }
}

std::chrono::milliseconds CorrectionWorkerLoop::InactivePass() {
  PublishedGains& published = host_.Published();
  host_.WorkerFifo().Discard();
  if (On(kCorrect) && On(kBypass) && !On(kFreeze)) {
    idleSeconds_ = 0.0;  // bypassed: the published gains stay for when it ends
  } else if (host_.FrozenValuesApply()) {
    published.SetApplied(CurrentFrozenGains(Settings(), UsableSampleRate()));
    running_ = true;
    fromFrozen_ = true;
    idleSeconds_ = 0.0;
  } else if (running_) {
    idleSeconds_ += Seconds(intervals_.idle);
    if (idleSeconds_ >= kWindDownSeconds) {
      published.SetApplied(CorrectionGains{});
      running_ = false;
    } else {
      timedPassDue_ = true;
    }
  }
  return intervals_.idle;
}

// ------------------------------------------------------- the shared thread

// One instance on the shared thread: its loop, and what tells the thread it
// has work. Held by the instance's worker and by the thread's list, so it
// outlives a pass the thread may still be making when the instance leaves.
class CorrectionWorker::Client final : public FifoListener {
 public:
  Client(CorrectionWorkerHost& host, CorrectionWorkerIntervals intervals) : loop(host, intervals) {}

  // Set by the worker once it joined and cleared before it leaves.
  void SetThread(SharedThread* thread) { thread_.store(thread); }
  void Poke();
  void FramesWaiting() override { Poke(); }

  CorrectionWorkerLoop loop;
  std::atomic<bool> poked{false};
  // Held for a pass and for leaving: the instance leaves between passes.
  std::mutex passLock;
  bool left = false;  // under passLock
  // The thread's own bookkeeping.
  bool timed = false;
  std::chrono::steady_clock::time_point due{};

 private:
  std::atomic<SharedThread*> thread_{nullptr};
};

class CorrectionWorker::SharedThread {
 public:
  // The thread of the process, started by the first worker that asks.
  static std::shared_ptr<SharedThread> Acquire() {
    std::lock_guard<std::mutex> guard(instanceLock_);
    std::shared_ptr<SharedThread> thread = instance_.lock();
    if (!thread) {
      thread = std::make_shared<SharedThread>();
      instance_ = thread;
    }
    return thread;
  }
  static int Running() {
    std::lock_guard<std::mutex> guard(instanceLock_);
    return instance_.expired() ? 0 : 1;
  }

  SharedThread() : thread_([this] { Run(); }) {}
  ~SharedThread() {
    signal_.Raise();
    thread_.join();
  }
  SharedThread(const SharedThread&) = delete;
  SharedThread& operator=(const SharedThread&) = delete;

  void Add(std::shared_ptr<Client> client) {
    {
      std::lock_guard<std::mutex> guard(listLock_);
      clients_.push_back(client);
      version_.fetch_add(1);
    }
    client->Poke();
  }

  // Waits for a pass of this client that is under way; never for another's.
  void Remove(Client& client) {
    {
      std::lock_guard<std::mutex> pass(client.passLock);
      client.left = true;
    }
    std::lock_guard<std::mutex> guard(listLock_);
    clients_.erase(std::remove_if(clients_.begin(), clients_.end(), [&](const auto& c) { return c.get() == &client; }),
                   clients_.end());
    version_.fetch_add(1);
  }

  // Lock-free: the audio thread pokes through the FIFO.
  void Poke(Client& client) {
    if (client.poked.exchange(true)) return;  // already waiting for its pass
    if (sleeping_.exchange(false)) signal_.Wake();
  }

 private:
  void Run() {
    platform::NameThisThread("Ombrix correct");
    std::uint64_t listed = ~std::uint64_t{0};
    std::vector<std::shared_ptr<Client>> clients;
    while (!signal_.Raised()) {
      if (version_.load() != listed) {
        std::lock_guard<std::mutex> guard(listLock_);
        clients = clients_;  // copies only when an instance came or went
        listed = version_.load();
      }
      std::optional<std::chrono::steady_clock::time_point> nextDue;
      for (const std::shared_ptr<Client>& client : clients) {
        const auto now = std::chrono::steady_clock::now();
        const bool poked = client->poked.exchange(false);
        if (poked || (client->timed && now >= client->due)) {
          std::lock_guard<std::mutex> pass(client->passLock);
          if (client->left) continue;
          const std::chrono::milliseconds interval = client->loop.RunPass();
          client->timed = client->loop.NeedsTimedPass();
          client->due = now + interval;
        }
        if (client->timed && (!nextDue || client->due < *nextDue)) nextDue = client->due;
      }
      // Sleep unless work came in meanwhile: a poke after this point either
      // shows up below or finds the thread asleep and wakes it.
      sleeping_.store(true);
      bool pending = version_.load() != listed;
      for (const std::shared_ptr<Client>& client : clients) pending = pending || client->poked.load();
      if (pending) {
        sleeping_.store(false);
        continue;
      }
      signal_.WaitUntil(nextDue ? *nextDue : std::chrono::steady_clock::now() + std::chrono::hours(1));
      sleeping_.store(false);
    }
  }

  static std::mutex instanceLock_;
  static std::weak_ptr<SharedThread> instance_;

  std::mutex listLock_;
  std::vector<std::shared_ptr<Client>> clients_;  // under listLock_
  std::atomic<std::uint64_t> version_{0};
  std::atomic<bool> sleeping_{false};
  platform::WakeSignal signal_;
  std::thread thread_;  // last: starts once everything above exists
};

std::mutex CorrectionWorker::SharedThread::instanceLock_;
std::weak_ptr<CorrectionWorker::SharedThread> CorrectionWorker::SharedThread::instance_;

void CorrectionWorker::Client::Poke() {
  if (SharedThread* thread = thread_.load()) thread->Poke(*this);
}

CorrectionWorker::CorrectionWorker(CorrectionWorkerHost& host, CorrectionWorkerIntervals intervals)
    : host_(host), client_(std::make_shared<Client>(host, intervals)) {}

CorrectionWorker::~CorrectionWorker() { Stop(); }

void CorrectionWorker::Start() {
  if (started_) return;
  thread_ = SharedThread::Acquire();
  client_->SetThread(thread_.get());
  // Past a window and a hop of silence every frame analysed is silent and
  // changes only counts, which a later pass brings up to date alike.
  host_.WorkerFifo().SetSettledSilence(SpectrumAnalysis::kFftSize + SpectrumAnalysis::kHopSize,
                                       AnalysisFifo::kCapacity / 2);
  host_.WorkerFifo().SetListener(client_.get(), SpectrumAnalysis::kHopSize);
  thread_->Add(client_);
  started_ = true;
}

void CorrectionWorker::Stop() {
  if (!started_) return;
  host_.WorkerFifo().SetListener(nullptr, 0);
  client_->SetThread(nullptr);
  thread_->Remove(*client_);
  thread_.reset();  // the last worker to leave ends the thread
  started_ = false;
}

void CorrectionWorker::Wake() { client_->Poke(); }

int CorrectionWorker::ThreadsRunning() { return SharedThread::Running(); }

}  // namespace ombrix::dsp
