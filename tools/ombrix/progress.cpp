#include "tools/ombrix/progress.h"

#include <algorithm>

#ifdef _WIN32
#include <io.h>
#define OMBRIX_ISATTY _isatty
#define OMBRIX_FILENO _fileno
#else
#include <unistd.h>
#define OMBRIX_ISATTY isatty
#define OMBRIX_FILENO fileno
#endif

namespace ombrix::cli {

namespace {

constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kRedrawInterval = std::chrono::milliseconds(150);
constexpr int kBarWidth = 30;
constexpr double kPlainUnknownStepSeconds = 5.0;

}  // namespace

Progress::Progress(std::string label, std::uint64_t total, bool enabled)
    : enabled_(enabled),
      terminal_(enabled && OMBRIX_ISATTY(OMBRIX_FILENO(stderr)) != 0),
      label_(std::move(label)),
      start_(std::chrono::steady_clock::now()) {
  total_.store(total, std::memory_order_relaxed);
  if (enabled_) thread_ = std::thread([this] { Run(); });
}

Progress::~Progress() { Finish(); }

void Progress::Restart(std::string label, std::uint64_t total) {
  std::lock_guard<std::mutex> lock(mutex_);
  label_ = std::move(label);
  total_.store(total, std::memory_order_relaxed);
  done_.store(0, std::memory_order_relaxed);
  lastStepWritten_ = -1;
}

void Progress::Finish() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (finished_) return;
    finished_ = true;
    ClearLine();
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void Progress::Print(const std::function<void()>& print) {
  std::lock_guard<std::mutex> lock(mutex_);
  ClearLine();
  print();
  std::fflush(stdout);
}

void Progress::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!finished_) {
    wake_.wait_for(lock, kRedrawInterval);
    if (finished_) break;
    const auto elapsed = std::chrono::steady_clock::now() - start_;
    if (elapsed < kQuietStart) continue;
    Draw(std::chrono::duration<double>(elapsed).count());
  }
}

void Progress::Draw(double seconds) {
  const std::uint64_t total = total_.load(std::memory_order_relaxed);
  const std::uint64_t done = std::min(done_.load(std::memory_order_relaxed), total);
  const bool known = total > 0;
  const double fraction = known ? static_cast<double>(done) / static_cast<double>(total) : 0.0;
  const int percent = static_cast<int>(fraction * 100.0);

  if (terminal_) {
    std::string line = "\rombrix: ";
    line += label_;
    line += "  ";
    if (known) {
      const int filled = static_cast<int>(fraction * kBarWidth);
      line += '[';
      line.append(static_cast<std::size_t>(filled), '#');
      line.append(static_cast<std::size_t>(kBarWidth - filled), '.');
      line += "] ";
      line += std::to_string(percent);
      line += " %";
    } else {
      line += std::to_string(static_cast<int>(seconds)) + " s";
    }
    std::fputs(line.c_str(), stderr);
    std::fputs("\x1b[K", stderr);  // erase what a longer earlier line left
    std::fflush(stderr);
    lineShown_ = true;
    return;
  }

  const int step = known ? percent / 10 : static_cast<int>(seconds / kPlainUnknownStepSeconds);
  if (step <= lastStepWritten_ || (known && step == 0)) return;
  lastStepWritten_ = step;
  if (known)
    std::fprintf(stderr, "ombrix: %s %d %%\n", label_.c_str(), step * 10);
  else
    std::fprintf(stderr, "ombrix: %s %d s\n", label_.c_str(), static_cast<int>(seconds));
  std::fflush(stderr);
}

void Progress::ClearLine() {
  if (!lineShown_) return;
  std::fputs("\r\x1b[K", stderr);
  std::fflush(stderr);
  lineShown_ = false;
}

}  // namespace ombrix::cli
