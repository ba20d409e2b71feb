#pragma once
// Progress of long work on stderr. Nothing appears during the first second,
// so quick runs stay quiet. On a terminal one line is redrawn in place (a bar
// and a percentage, or the elapsed seconds when the amount of work is not
// known); otherwise a plain line is written at every tenth of the work (or
// every five seconds). A disabled reporter writes nothing.
//
// Add may be called from any thread; a background thread does the drawing.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace ombrix::cli {

class Progress {
 public:
  // total = 0: the amount of work is unknown.
  Progress(std::string label, std::uint64_t total, bool enabled);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void Add(std::uint64_t units) { done_.fetch_add(units, std::memory_order_relaxed); }
  // The count behind Add, for workers that count as they go.
  std::atomic<std::uint64_t>& DoneCounter() { return done_; }
  void AddToTotal(std::uint64_t units) { total_.fetch_add(units, std::memory_order_relaxed); }
  // A new stage of the same work: new label, counts start again.
  void Restart(std::string label, std::uint64_t total);
  // Removes the line; nothing more is drawn.
  void Finish();

  // Runs `print` (which writes to stdout) with the progress line out of the
  // way, so that results and progress do not garble a shared terminal.
  void Print(const std::function<void()>& print);

 private:
  void Run();
  void Draw(double seconds);
  void ClearLine();

  std::atomic<std::uint64_t> done_{0};
  std::atomic<std::uint64_t> total_{0};
  const bool enabled_;
  const bool terminal_;
  std::mutex mutex_;  // guards everything below and stderr writes
  std::condition_variable wake_;
  std::string label_;
  std::chrono::steady_clock::time_point start_;
  bool lineShown_ = false;
  int lastStepWritten_ = -1;  // plain mode: tenths (or five-second steps) already written
  bool finished_ = false;
  std::thread thread_;
};

}  // namespace ombrix::cli
