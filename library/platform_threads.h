#pragma once
// The thread facilities whose calls depend on the operating system: naming a
// thread, and a stop signal a worker waits on until a deadline. (A Windows
// build uses SetThreadDescription and an event with WaitForSingleObject.)
#include <atomic>
#include <chrono>
#include <memory>

namespace ombrix::platform {

// Names the calling thread, so per-thread CPU figures and profilers can tell
// it apart (at most 15 bytes are kept).
void NameThisThread(const char* name);

// A flag one thread raises and another waits for, with a deadline. The wait
// is one timed system call: with many workers in a process the wake-ups are
// most of what the workers cost, and a condition variable's wait takes two
// or three calls.
class StopSignal {
 public:
  StopSignal();
  ~StopSignal();
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  void Raise();
  bool Raised() const { return raised_.load(); }
  // Lowers the flag and forgets wake-ups left over from an earlier raise.
  void Clear();
  // Waits until the time comes (steady clock) or the flag is raised; true when raised.
  bool WaitUntil(std::chrono::steady_clock::time_point wakeUp);

 private:
  struct Semaphore;
  std::atomic<bool> raised_{false};
  std::unique_ptr<Semaphore> semaphore_;
};

}  // namespace ombrix::platform
