// The service worker thread: its first wait, its 10-minute rhythm on the
// monotonic clock, prompt stopping, and the update check shared between the
// worker and the user-interface thread. Also run under ThreadSanitizer.
#include "library/service_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "library/data_folders.h"
#include "library/update_check.h"
#include "support/loopback_http_server.h"
#include "support/temp_data_home.h"

namespace kestrune::updates {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A monotonic clock that moves only when the test says so.
class FakeClock {
 public:
  Clock::time_point Now() const { return Clock::time_point(std::chrono::nanoseconds(nanoseconds_.load())); }
  void Advance(std::chrono::nanoseconds step) { nanoseconds_ += step.count(); }
  std::function<Clock::time_point()> Function() {
    return [this] { return Now(); };
  }

 private:
  std::atomic<long long> nanoseconds_{1'000'000'000'000};
};

// Waits (in real time, bounded) until the condition holds.
template <typename Condition>
bool Eventually(Condition condition, std::chrono::milliseconds limit = 5000ms) {
  const auto end = Clock::now() + limit;
  while (Clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(2ms);
  }
  return condition();
}

ServiceWorkerTiming Quick(FakeClock& clock) {
  ServiceWorkerTiming timing;
  timing.initialWait = 0ms;
  timing.initialJitter = 0ms;
  timing.pollInterval = 2ms;
  timing.clock = clock.Function();
  return timing;
}

TEST(ServiceWorkerTest, DefaultTimingIsFourToTenSecondsThenEveryTenMinutes) {
  const ServiceWorkerTiming timing;
  EXPECT_EQ(timing.initialWait, 4000ms);
  EXPECT_EQ(timing.initialJitter, 6000ms);
  EXPECT_EQ(timing.pollInterval, 5000ms);
  EXPECT_EQ(timing.runInterval, 600s);
}

TEST(ServiceWorkerTest, StoppingDuringTheFirstWaitEndsAtOnceWithoutRunning) {
  std::atomic<int> runs{0};
  const auto start = Clock::now();
  {
    ServiceWorker worker([&] { ++runs; });  // default timing: 4 to 10 s first
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_LT(Clock::now() - start, 1s);
  EXPECT_EQ(runs.load(), 0);
}

TEST(ServiceWorkerTest, StoppingWhilePollingEndsAtOnce) {
  std::atomic<int> runs{0};
  ServiceWorkerTiming timing;
  timing.initialWait = 0ms;
  timing.initialJitter = 0ms;  // the poll stays at 5 s
  auto worker = std::make_unique<ServiceWorker>([&] { ++runs; }, timing);
  ASSERT_TRUE(Eventually([&] { return runs.load() == 1; }));
  const auto start = Clock::now();
  worker.reset();
  EXPECT_LT(Clock::now() - start, 1s);
  EXPECT_EQ(runs.load(), 1);
}

TEST(ServiceWorkerTest, RunsOnceAfterTheFirstWaitThenEveryIntervalAfterTheLastRun) {
  FakeClock clock;
  std::atomic<int> runs{0};
  ServiceWorker worker([&] { ++runs; }, Quick(clock));
  ASSERT_TRUE(Eventually([&] { return runs.load() == 1; }));
  clock.Advance(599s);
  std::this_thread::sleep_for(30ms);  // many polls
  EXPECT_EQ(runs.load(), 1);
  clock.Advance(1s);
  ASSERT_TRUE(Eventually([&] { return runs.load() == 2; }));
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(runs.load(), 2);
  clock.Advance(600s);
  ASSERT_TRUE(Eventually([&] { return runs.load() == 3; }));
}

TEST(ServiceWorkerTest, TheIntervalCountsFromTheEndOfTheLastRun) {
  FakeClock clock;
  std::atomic<int> runs{0};
  // The task itself takes 100 s of monotonic time.
  ServiceWorker worker(
      [&] {
        clock.Advance(100s);
        ++runs;
      },
      Quick(clock));
  ASSERT_TRUE(Eventually([&] { return runs.load() == 1; }));
  clock.Advance(599s);
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(runs.load(), 1);
  clock.Advance(1s);
  ASSERT_TRUE(Eventually([&] { return runs.load() == 2; }));
}

TEST(ServiceWorkerTest, TheFirstWaitHasARandomPart) {
  std::atomic<int> runs{0};
  ServiceWorkerTiming timing;
  timing.initialWait = 10ms;
  timing.initialJitter = 40ms;
  const auto start = Clock::now();
  ServiceWorker worker([&] { ++runs; }, timing);
  ASSERT_TRUE(Eventually([&] { return runs.load() == 1; }));
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, 10ms);
  EXPECT_LT(waited, 2s);
}

TEST(ServiceWorkerTest, StopCanBeCalledTwice) {
  ServiceWorker worker([] {});
  worker.Stop();
  worker.Stop();
}

// The worker runs the real check against a loopback server while the test's
// own thread plays the user interface: it reads the state and switches the
// check off and on.
TEST(ServiceWorkerTest, SharesTheUpdateCheckWithTheInterfaceThread) {
  ombrix::test::ScopedEnvironment noProxy("no_proxy", "*");
  ombrix::test::ScopedEnvironment noOverride(kFeedAddressVariable, nullptr);
  ombrix::test::TempDataHome home;
  ombrix::test::LoopbackHttpServer server([](const ombrix::test::HttpRequestRecord&) {
    return ombrix::test::Respond(200, R"({"ombrix":{"version":"0.5.0","page":"/plugins/ombrix"}})");
  });
  std::atomic<std::int64_t> now{1'765'000'000};
  UpdateCheckConfig config = MakeUpdateCheckConfig("ombrix", "0.4.10");
  config.feedAddress = server.Url("/updates.json");
  config.now = [&] { return now.load(); };
  auto check = std::make_shared<UpdateCheck>(config);
  EXPECT_FALSE(check->Available());

  FakeClock clock;
  {
    ServiceWorker worker(check, Quick(clock));
    ASSERT_TRUE(Eventually([&] { return check->Available().has_value(); }));
    EXPECT_EQ(check->Available()->version, "0.5.0");
    EXPECT_EQ(server.RequestCount(), 1);

    // Meanwhile the interface switches the check off and on again, while the
    // worker keeps running its task every "10 minutes".
    for (int i = 0; i < 20; ++i) {
      now += 600;
      clock.Advance(600s);
      check->SetEnabled(i % 2 == 1);
      const UpdateState state = check->State();
      (void)state;
      (void)check->ChangeCount();
      std::this_thread::sleep_for(3ms);
    }
    check->SetEnabled(true);
    ASSERT_TRUE(Eventually([&] { return check->IsEnabled() && check->Available().has_value(); }));
  }
  // The worker has let go; the check lives on with the interface.
  EXPECT_EQ(check.use_count(), 1);
  EXPECT_GE(server.RequestCount(), 1);
}

}  // namespace
}  // namespace kestrune::updates
