#include "plugin/idle_clock.h"

#include <juce_events/juce_events.h>

#include <mutex>
#include <utility>

#if JUCE_LINUX || JUCE_BSD
#include <sys/timerfd.h>
#include <unistd.h>

#include <cstdint>
#endif

namespace ombrix {

class IdleClock::Source {
 public:
  virtual ~Source() = default;
  virtual void Start() = 0;
  virtual void Stop() = 0;
  virtual bool Running() const = 0;
};

namespace {

class TimerSource final : public IdleClock::Source, private juce::Timer {
 public:
  TimerSource(int intervalMs, std::function<void()> tick) : intervalMs_(intervalMs), tick_(std::move(tick)) {}
  ~TimerSource() override { stopTimer(); }
  void Start() override {
    if (!isTimerRunning()) startTimer(intervalMs_);  // a running clock keeps its phase
  }
  void Stop() override { stopTimer(); }
  bool Running() const override { return isTimerRunning(); }

 private:
  void timerCallback() override { tick_(); }
  const int intervalMs_;
  const std::function<void()> tick_;
};

#if JUCE_LINUX || JUCE_BSD
class TimerFdSource final : public IdleClock::Source {
 public:
  // fd: a non-blocking timerfd, owned from here on.
  TimerFdSource(int fd, int intervalMs, std::function<void()> tick)
      : fd_(fd), intervalMs_(intervalMs), target_(std::make_shared<Target>()) {
    target_->tick = std::move(tick);
  }
  ~TimerFdSource() override {
    Stop();
    ::close(fd_);
  }

  void Start() override {
    if (running_) return;
    running_ = true;
    {
      std::lock_guard<std::recursive_mutex> guard(target_->lock);
      target_->live = true;
    }
    Arm(intervalMs_);
    // The run loop may call a callback it copied just before it was
    // unregistered; the callback goes through the target, which Stop() ends.
    juce::LinuxEventLoop::registerFdCallback(fd_, [target = target_](int fd) {
      std::uint64_t expirations = 0;
      [[maybe_unused]] const auto read = ::read(fd, &expirations, sizeof expirations);
      std::lock_guard<std::recursive_mutex> guard(target->lock);
      if (target->live) target->tick();
    });
  }

  void Stop() override {
    if (!running_) return;
    running_ = false;
    juce::LinuxEventLoop::unregisterFdCallback(fd_);
    Arm(0);
    std::lock_guard<std::recursive_mutex> guard(target_->lock);  // waits for a tick running elsewhere
    target_->live = false;
  }

  bool Running() const override { return running_; }

 private:
  struct Target {
    std::recursive_mutex lock;  // a tick may stop the clock
    bool live = false;
    std::function<void()> tick;
  };

  void Arm(int intervalMs) {
    itimerspec spec{};
    spec.it_interval.tv_sec = intervalMs / 1000;
    spec.it_interval.tv_nsec = static_cast<long>(intervalMs % 1000) * 1000000L;
    spec.it_value = spec.it_interval;  // all zeros disarms it
    timerfd_settime(fd_, 0, &spec, nullptr);
  }

  const int fd_;
  const int intervalMs_;
  const std::shared_ptr<Target> target_;
  bool running_ = false;
};
#endif

std::unique_ptr<IdleClock::Source> MakeSource(int intervalMs, std::function<void()> tick) {
#if JUCE_LINUX || JUCE_BSD
  // Without a message manager there is no run loop to poll the descriptor.
  if (juce::MessageManager::getInstanceWithoutCreating() != nullptr) {
    const int fd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd >= 0) return std::make_unique<TimerFdSource>(fd, intervalMs, std::move(tick));
  }
#endif
  return std::make_unique<TimerSource>(intervalMs, std::move(tick));
}

}  // namespace

IdleClock::IdleClock(int intervalMs, std::function<void()> tick) : source_(MakeSource(intervalMs, std::move(tick))) {}

IdleClock::~IdleClock() = default;

void IdleClock::Start() { source_->Start(); }
void IdleClock::Stop() { source_->Stop(); }
bool IdleClock::Running() const { return source_->Running(); }

}  // namespace ombrix
