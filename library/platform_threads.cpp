#include "library/platform_threads.h"

#include <pthread.h>
#include <semaphore.h>

#include <cerrno>
#include <ctime>

namespace ombrix::platform {

void NameThisThread(const char* name) { pthread_setname_np(pthread_self(), name); }

struct WakeSignal::Semaphore {
  sem_t handle;
};

WakeSignal::WakeSignal() : semaphore_(std::make_unique<Semaphore>()) { sem_init(&semaphore_->handle, 0, 0); }

WakeSignal::~WakeSignal() { sem_destroy(&semaphore_->handle); }

void WakeSignal::Wake() { sem_post(&semaphore_->handle); }

void WakeSignal::Raise() {
  raised_.store(true);
  Wake();
}

bool WakeSignal::WaitUntil(std::chrono::steady_clock::time_point wakeUp) {
  const auto sinceEpoch = wakeUp.time_since_epoch();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
  timespec deadline{};
  deadline.tv_sec = static_cast<time_t>(seconds.count());
  deadline.tv_nsec =
      static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch - seconds).count());
  // steady_clock is CLOCK_MONOTONIC. An interrupted wait waits on.
  while (!raised_.load()) {
    if (sem_clockwait(&semaphore_->handle, CLOCK_MONOTONIC, &deadline) == 0) break;  // woken
    if (errno != EINTR) break;  // timed out
  }
  return raised_.load();
}

}  // namespace ombrix::platform
