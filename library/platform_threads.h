#pragma once
// The thread facilities whose calls depend on the operating system: naming a
// thread, and a signal a worker sleeps on until it is woken, stopped or a
// deadline comes. (A Windows build uses SetThreadDescription and
// WaitOnAddress.)
#include <atomic>
#include <chrono>
#include <memory>

namespace ombrix::platform {

// Names the calling thread, so per-thread CPU figures and profilers can tell
// it apart (at most 15 bytes are kept).
void NameThisThread(const char* name);

// Wakes one waiting thread, or stops it for good. Waking never blocks and
// never allocates, so the audio thread may do it; a wait is one system call.
class WakeSignal {
 public:
  WakeSignal();
  ~WakeSignal();
  WakeSignal(const WakeSignal&) = delete;
  WakeSignal& operator=(const WakeSignal&) = delete;

  // Ends the current or the next wait.
  void Wake();
  // Raises the stop flag and wakes the waiter.
  void Raise();
  bool Raised() const { return raised_.load(); }
  // Waits until woken, raised or the time comes (steady clock); true when
  // raised. Wakes that came while nobody waited end the next wait at once.
  bool WaitUntil(std::chrono::steady_clock::time_point wakeUp);

 private:
  struct Semaphore;
  std::atomic<bool> raised_{false};
  std::unique_ptr<Semaphore> semaphore_;
};

}  // namespace ombrix::platform
