#include "library/platform_threads.h"

#include <pthread.h>
#include <semaphore.h>

#include <cerrno>
#include <ctime>

namespace ombrix::platform {

void NameThisThread(const char* name) { pthread_setname_np(pthread_self(), name); }

struct StopSignal::Semaphore {
  sem_t handle;
};

StopSignal::StopSignal() : semaphore_(std::make_unique<Semaphore>()) { sem_init(&semaphore_->handle, 0, 0); }

StopSignal::~StopSignal() { sem_destroy(&semaphore_->handle); }

void StopSignal::Raise() {
  raised_.store(true);
  sem_post(&semaphore_->handle);
}

void StopSignal::Clear() {
  raised_.store(false);
  while (sem_trywait(&semaphore_->handle) == 0) {
  }
}

bool StopSignal::WaitUntil(std::chrono::steady_clock::time_point wakeUp) {
  const auto sinceEpoch = wakeUp.time_since_epoch();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
  timespec deadline{};
  deadline.tv_sec = static_cast<time_t>(seconds.count());
  deadline.tv_nsec =
      static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch - seconds).count());
  // steady_clock is CLOCK_MONOTONIC. A post without a raise (left over from
  // an earlier stop) or an interrupted wait just waits on.
  while (!raised_.load()) {
    if (sem_clockwait(&semaphore_->handle, CLOCK_MONOTONIC, &deadline) == 0 || errno == EINTR) continue;
    break;  // timed out (or a deadline the call refused: the pass runs again)
  }
  return raised_.load();
}

}  // namespace ombrix::platform
