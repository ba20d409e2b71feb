#include "tools/ombrix/batch_analysis.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "dsp/audio_file_reader.h"

namespace ombrix::cli {

void AnalyseFiles(const std::vector<std::string>& files, const AnalysisRequest& request, Progress& progress,
                  const std::function<void(const FileAnalysis&)>& report) {
  for (const std::string& file : files) progress.AddToTotal(AudioFileFrameCount(PathFromUtf8(file)));

  std::vector<std::optional<FileAnalysis>> results(files.size());
  std::mutex mutex;
  std::condition_variable resultArrived;
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t i = next.fetch_add(1); i < files.size(); i = next.fetch_add(1)) {
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
