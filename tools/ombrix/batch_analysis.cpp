#include "tools/ombrix/batch_analysis.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <numeric>
#include <optional>
#include <thread>

#include "dsp/audio_file_reader.h"

namespace ombrix::cli {

void AnalyseFiles(const std::vector<std::string>& files, const AnalysisRequest& request, Progress& progress,
                  const std::function<void(const FileAnalysis&)>& report) {
  std::vector<std::uint64_t> frames(files.size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    frames[i] = AudioFileFrameCount(PathFromUtf8(files[i]));
    progress.AddToTotal(frames[i]);
  }
  // The longest files first, so that no core is left with a long one at the end.
  std::vector<std::size_t> order(files.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&frames](std::size_t a, std::size_t b) { return frames[a] > frames[b]; });

  std::vector<std::optional<FileAnalysis>> results(files.size());
  std::mutex mutex;
  std::condition_variable resultArrived;
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t n = next.fetch_add(1); n < files.size(); n = next.fetch_add(1)) {
      const std::size_t i = order[n];
      FileAnalysis analysis = AnalyseAudioFile(files[i], request, &progress.DoneCounter());
      {
        std::lock_guard<std::mutex> lock(mutex);
        results[i] = std::move(analysis);
      }
      resultArrived.notify_all();
    }
  };

  const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::thread> workers;
  for (std::size_t t = 0; t < std::min(cores, files.size()); ++t) workers.emplace_back(work);

  for (std::size_t i = 0; i < files.size(); ++i) {
    std::unique_lock<std::mutex> lock(mutex);
    resultArrived.wait(lock, [&] { return results[i].has_value(); });
    const FileAnalysis analysis = std::move(*results[i]);
    results[i].reset();
    lock.unlock();
    report(analysis);
  }
  for (std::thread& worker : workers) worker.join();
}

}  // namespace ombrix::cli
