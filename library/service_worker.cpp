#include "library/service_worker.h"

#include <random>

#include "library/platform_threads.h"
#include "library/update_check.h"

namespace kestrune::updates {

ServiceWorker::ServiceWorker(std::function<void()> task, ServiceWorkerTiming timing)
    : task_(std::move(task)), timing_(std::move(timing)) {
  if (!timing_.clock) timing_.clock = [] { return std::chrono::steady_clock::now(); };
  thread_ = std::thread([this] { Run(); });
}

ServiceWorker::ServiceWorker(std::shared_ptr<UpdateCheck> check, ServiceWorkerTiming timing)
    : ServiceWorker(
          [check = std::move(check)] {
            check->CheckNow();
            check->Refresh();
          },
          std::move(timing)) {}

ServiceWorker::~ServiceWorker() { Stop(); }

void ServiceWorker::Stop() {
  {
    std::lock_guard guard(mutex_);
    stopRequested_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool ServiceWorker::WaitForStop(std::chrono::milliseconds duration) {
  std::unique_lock lock(mutex_);
  return wake_.wait_for(lock, duration, [this] { return stopRequested_; });
}

void ServiceWorker::Run() {
  ombrix::platform::NameThisThread("Ombrix updates");
  std::chrono::milliseconds firstWait = timing_.initialWait;
  if (timing_.initialJitter.count() > 0) {
    std::random_device source;
    std::uniform_int_distribution<long long> jitter(0, timing_.initialJitter.count());
    firstWait += std::chrono::milliseconds(jitter(source));
  }
  if (WaitForStop(firstWait)) return;

  task_();
  auto lastRun = timing_.clock();
  while (!WaitForStop(timing_.pollInterval)) {
    if (timing_.clock() - lastRun >= timing_.runInterval) {
      task_();
      lastRun = timing_.clock();
    }
  }
}

}  // namespace kestrune::updates
