#pragma once
// The background thread of one plug-in instance that runs the update check:
// after a first wait of 4 to 10 seconds it runs its task (CheckNow, then
// Refresh), then looks every 5 seconds whether 10 minutes have passed on the
// monotonic clock since the end of the last run, and runs it again.
//
// Stopping (Stop or the destructor) wakes the thread at once through its
// condition variable; it only has to wait for a task that is running, which
// with the update check is at most a fetch's time-outs.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace kestrune::updates {

class UpdateCheck;

struct ServiceWorkerTiming {
  std::chrono::milliseconds initialWait{4000};    // fixed part of the first wait
  std::chrono::milliseconds initialJitter{6000};  // plus a uniformly random 0..this
  std::chrono::milliseconds pollInterval{5000};   // how often the clock is looked at
  std::chrono::milliseconds runInterval{600000};  // from the end of one run to the next
  // The monotonic clock; tests replace it. Empty: std::chrono::steady_clock.
  std::function<std::chrono::steady_clock::time_point()> clock;
};

class ServiceWorker {
 public:
  // Starts the thread for any task.
  explicit ServiceWorker(std::function<void()> task, ServiceWorkerTiming timing = {});
  // Starts the thread whose task is check->CheckNow() followed by check->Refresh();
  // the worker keeps the checker alive as long as it runs.
  explicit ServiceWorker(std::shared_ptr<UpdateCheck> check, ServiceWorkerTiming timing = {});
  ServiceWorker(const ServiceWorker&) = delete;
  ServiceWorker& operator=(const ServiceWorker&) = delete;
  ~ServiceWorker();

  // Asks the thread to end and joins it. Safe to call more than once.
  void Stop();

 private:
  void Run();
  // Waits up to duration; true when a stop was requested.
  bool WaitForStop(std::chrono::milliseconds duration);

  std::function<void()> task_;
  ServiceWorkerTiming timing_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopRequested_ = false;  // guarded by mutex_
  std::thread thread_;
};

}  // namespace kestrune::updates
