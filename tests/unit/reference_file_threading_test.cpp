// The reference-file worker thread: one analysis at a time, the result handed
// over once under its mutex, exceptions caught, and cancel-and-join on
// destruction. Most cases use a stand-in analysis that the test steers, so
// they are exact and quick; one runs a real file end to end.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "dsp/audio_file_reader.h"
#include "dsp/reference_file.h"
#include "support/audio_fixtures.h"

namespace ombrix::dsp {
namespace {

using namespace std::chrono_literals;

// Polls like the idle loop until a result arrives (at most 20 s).
std::optional<ReferenceFileResult> WaitForResult(ReferenceFileWorker& worker) {
  const auto deadline = std::chrono::steady_clock::now() + 20s;
  while (std::chrono::steady_clock::now() < deadline) {
    if (std::optional<ReferenceFileResult> result = worker.TakeResult()) return result;
    std::this_thread::sleep_for(1ms);
  }
  return std::nullopt;
}

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// A stand-in analysis that blocks until released (or cancelled) and then
// reports what it was asked.
class Gate {
 public:
  ReferenceFileWorker::AnalyseFunction Function() {
    return [this](const std::filesystem::path& path, LearnedCurve& curve, std::string& error, double maxSeconds,
                  const std::atomic<bool>& cancel) {
      std::unique_lock<std::mutex> lock(mutex_);
      ++calls_;
      entered_.notify_all();
      // Cancellation is a flag, not a notification: look at it now and then.
      while (!released_ && !cancel.load()) released_changed_.wait_for(lock, 1ms);
      if (cancel.load()) {
        sawCancel_ = true;
        error = "cancelled";
        return false;
      }
      curve.loudSeconds = maxSeconds;
      curve.levels[0] = static_cast<double>(calls_);
      error = "ignored on success: " + FileNameUtf8(path);
      return true;
    };
  }
  void WaitUntilEntered(int calls) {
    std::unique_lock<std::mutex> lock(mutex_);
    entered_.wait(lock, [&] { return calls_ >= calls; });
  }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    released_changed_.notify_all();
  }
  bool SawCancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    return sawCancel_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable entered_;
  std::condition_variable released_changed_;
  int calls_ = 0;
  bool released_ = false;
  bool sawCancel_ = false;
};

TEST(ReferenceFileWorkerTest, RunsOneAnalysisAtATimeAndHandsTheResultOverOnce) {
  Gate gate;
  ReferenceFileWorker worker(gate.Function());
  ASSERT_TRUE(worker.Start("/music/first.wav"));
  gate.WaitUntilEntered(1);
  EXPECT_TRUE(worker.Analysing());
  EXPECT_FALSE(worker.Start("/music/second.wav"));  // refused while running
  EXPECT_FALSE(worker.TakeResult().has_value());
  gate.Release();

  const std::optional<ReferenceFileResult> result = WaitForResult(worker);
  ASSERT_TRUE(result.has_value());
  EXPECT_TRUE(result->ready);
  EXPECT_TRUE(result->ok);
  EXPECT_EQ(result->name, "first.wav");
  EXPECT_EQ(result->error, "");
  EXPECT_EQ(result->curve.loudSeconds, kReferenceFileMaxSeconds);
  EXPECT_EQ(result->curve.levels[0], 1.0);
  EXPECT_FALSE(worker.TakeResult().has_value());

  // The flag drops just after the result is published; then a new start joins the old thread.
  while (worker.Analysing()) std::this_thread::yield();
  ASSERT_TRUE(worker.Start("/music/third.wav"));
  const std::optional<ReferenceFileResult> second = WaitForResult(worker);
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(second->name, "third.wav");
  EXPECT_EQ(second->curve.levels[0], 2.0);
}

TEST(ReferenceFileWorkerTest, AnExceptionBecomesAFailureNamedByTheWholePath) {
  ReferenceFileWorker worker([](const std::filesystem::path&, LearnedCurve&, std::string&, double,
                                const std::atomic<bool>&) -> bool { throw std::runtime_error("decoder exploded"); });
  ASSERT_TRUE(worker.Start("/music/bad.flac"));
  const std::optional<ReferenceFileResult> result = WaitForResult(worker);
  ASSERT_TRUE(result.has_value());
  EXPECT_FALSE(result->ok);
  EXPECT_EQ(result->error, "decoder exploded");
  EXPECT_EQ(result->name, "/music/bad.flac");
}

TEST(ReferenceFileWorkerTest, DestructionCancelsAndJoinsARunningAnalysis) {
  Gate gate;
  {
    ReferenceFileWorker worker(gate.Function());
    ASSERT_TRUE(worker.Start("/music/long.wav"));
    gate.WaitUntilEntered(1);
  }  // would hang here if the destructor did not cancel
  EXPECT_TRUE(gate.SawCancel());
}

TEST(ReferenceFileWorkerTest, AnalysesARealFileWithAUtf8Name) {
  test_support::ScopedTempFolder folder("reference-worker");
  const std::string name = "Überlied ♪.wav";
  const std::filesystem::path path = folder.Path() / PathFromUtf8(name);
  ASSERT_TRUE(test_support::WriteAudioFile(path, test_support::AudioFileFormat::kWavPcm16, 22050, 1,
                                           test_support::ProgrammeMaterial(3, 3.0, 22050)));
  ReferenceFileWorker worker;
  ASSERT_TRUE(worker.Start(Utf8(path)));
  const std::optional<ReferenceFileResult> result = WaitForResult(worker);
  ASSERT_TRUE(result.has_value());
  ASSERT_TRUE(result->ok) << result->error;
  EXPECT_EQ(result->name, name);

  const std::atomic<bool> cancel{false};
  LearnedCurve direct;
  std::string error;
  ASSERT_TRUE(AnalyseReferenceFile(path, direct, error, kReferenceFileMaxSeconds, cancel));
  EXPECT_EQ(result->curve.levels, direct.levels);
  EXPECT_EQ(result->curve.loudSeconds, direct.loudSeconds);

  while (worker.Analysing()) std::this_thread::yield();
  ASSERT_TRUE(worker.Start(Utf8(folder.Path() / "song.m4a")));
  const std::optional<ReferenceFileResult> refused = WaitForResult(worker);
  ASSERT_TRUE(refused.has_value());
  EXPECT_EQ(refused->error, "unsupported file type .m4a (WAV, AIFF, MP3, FLAC, Ogg or Opus)");
  EXPECT_EQ(refused->name, "song.m4a");
}

}  // namespace
}  // namespace ombrix::dsp
