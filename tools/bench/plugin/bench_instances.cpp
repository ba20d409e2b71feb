// What many instances cost in one host process, the way a DAW session runs
// them: N instances (default 50) of the built plug-in loaded through JUCE's
// VST3 hosting, 48 kHz stereo, "Correct" on, the host's message loop running;
// first idle (no audio), then silent buffers flowing (as a host keeps calling
// its plug-ins while the transport stands still), then playing (512-frame
// blocks fed at real-time pace from one audio thread). Also the resident size
// of the process once the instances are loaded. The same runs with a pass-through plug-in of one
// parameter built alike: the floor of hosting a JUCE VST3 at all. What Ombrix
// costs above that floor is its own.
//
// Shares of a core come from the process's CPU time (getrusage) over a fixed
// wall time; the split by thread from each thread's CPU clock, threads of one
// name added up. Run it alone on the machine (under the shared CPU lock):
// other work slows everything measured here.
//
// The update check is switched off for the run (a temporary data folder with
// the switch-off file), so no instance reaches for the network.
#include <pthread.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_events/juce_events.h>

#include "tools/bench/cpu_time.h"
#include "dsp/pinking_filter.h"
#include "tools/host/plugin_host.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kRate = 48000.0;
constexpr int kBlock = 512;
constexpr int kProgrammeBlocks = 375;  // 4 s, looped
constexpr const char* kAudioThreadName = "bench audio";

struct Options {
  int instances = 50;
  double seconds = 10.0;
  double warmUpSeconds = 3.0;
  int rounds = 3;
  std::string plugin = OMBRIX_VST3_BUNDLE;
  std::string floor = OMBRIX_PASS_THROUGH_BUNDLE;
};

void Usage() {
  std::fprintf(stderr,
               "usage: bench_instances [--instances N] [--seconds S] [--warm-up S] [--rounds R] "
               "[--plugin BUNDLE] [--floor BUNDLE]\n");
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return false;
    const char* value = argv[++i];
    if (arg == "--instances") {
      options.instances = std::atoi(value);
    } else if (arg == "--seconds") {
      options.seconds = std::atof(value);
    } else if (arg == "--warm-up") {
      options.warmUpSeconds = std::atof(value);
    } else if (arg == "--rounds") {
      options.rounds = std::atoi(value);
    } else if (arg == "--plugin") {
      options.plugin = value;
    } else if (arg == "--floor") {
      options.floor = value;
    } else {
      return false;
    }
  }
  return options.instances > 0 && options.seconds > 0.0 && options.warmUpSeconds >= 0.0 && options.rounds > 0;
}

// ------------------------------------------------------------ CPU time

using ombrix::ProcessCpuSeconds;

// The CPU clock of a thread of this process by its thread id: the clock id
// glibc's pthread_getcpuclockid builds, which works from any thread of the
// same process and counts in nanoseconds (the /proc tick counts are 10 ms).
bool ThreadCpuSeconds(pid_t tid, double& seconds) {
  const clockid_t clock = static_cast<clockid_t>((~static_cast<unsigned>(tid) << 3) | 6u);
  timespec t{};
  if (clock_gettime(clock, &t) != 0) return false;
  seconds = static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
  return true;
}

juce::String CommOf(pid_t tid) {
  return juce::File("/proc/self/task/" + juce::String(tid) + "/comm").loadFileAsString().trim();
}

// Threads that never named themselves carry the name of the thread that made
// them: here the host's message thread, which loads the plug-ins.
std::string ThreadName(pid_t tid) {
  static const juce::String processName = CommOf(getpid());
  if (tid == getpid()) return "host message thread";
  const juce::String name = CommOf(tid);
  return name == processName ? "unnamed threads" : name.toStdString();
}

struct ThreadTimes {
  std::map<pid_t, std::pair<std::string, double>> byTid;  // name, CPU seconds
};

ThreadTimes ReadThreadTimes() {
  ThreadTimes times;
  for (const auto& entry :
       juce::RangedDirectoryIterator(juce::File("/proc/self/task"), false, "*", juce::File::findDirectories)) {
    const pid_t tid = entry.getFile().getFileName().getIntValue();
    double seconds = 0.0;
    if (tid > 0 && ThreadCpuSeconds(tid, seconds)) times.byTid[tid] = {ThreadName(tid), seconds};
  }
  return times;
}

struct ThreadGroup {
  int threads = 0;
  double share = 0.0;  // percent of a core
};

struct Measurement {
  double share = 0.0;  // percent of a core, whole process
  double residentMiB = 0.0;  // the process's resident size at the end
  std::map<std::string, ThreadGroup> threads;
  long lateBlocks = 0;
};

// ------------------------------------------------------------ the session

// The host's message loop runs on the main thread for the whole run (blocked
// in poll between messages, as a host's does); the measurement is driven from
// another thread, which hands loading and unloading to the message thread.
void OnMessageThread(const std::function<void()>& work) {
  juce::MessageManager::getInstance()->callFunctionOnMessageThread(
      [](void* data) -> void* {
        (*static_cast<const std::function<void()>*>(data))();
        return nullptr;
      },
      const_cast<std::function<void()>*>(&work));
}

void Wait(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

std::vector<juce::AudioBuffer<float>> MakeProgramme() {
  // Pink noise with a low end 6 dB up, around -20 dBFS: enough for the
  // correction to have something to correct.
  std::vector<juce::AudioBuffer<float>> blocks;
  std::mt19937 random(7);
  std::uniform_real_distribution<double> white(-1.0, 1.0);
  ombrix::dsp::PinkingFilter pink[2];
  double low[2] = {0.0, 0.0};
  for (int b = 0; b < kProgrammeBlocks; ++b) {
    juce::AudioBuffer<float> block(2, kBlock);
    for (int ch = 0; ch < 2; ++ch) {
      for (int n = 0; n < kBlock; ++n) {
        const double p = pink[ch].Next(white(random));
        low[ch] += (p - low[ch]) * 0.02;
        block.setSample(ch, n, static_cast<float>(0.05 * (p + low[ch])));
      }
    }
    blocks.push_back(std::move(block));
  }
  return blocks;
}

class Session {
 public:
  Session(const std::string& bundle, int count) {
    for (int i = 0; i < count; ++i) {
      juce::String error;
      ombrix::host::LoadedPlugin loaded = ombrix::host::LoadVst3(bundle, kRate, kBlock, error);
      if (loaded.instance == nullptr) {
        std::fprintf(stderr, "bench_instances: could not load %s: %s\n", bundle.c_str(), error.toRawUTF8());
        std::exit(1);
      }
      juce::AudioPluginInstance& plugin = *loaded.instance;
      plugin.setNonRealtime(false);
      plugin.prepareToPlay(kRate, kBlock);
      for (auto* parameter : plugin.getParameters())
        if (parameter->getName(64) == "Correct") parameter->setValueNotifyingHost(1.0f);
      instances_.push_back(std::move(loaded.instance));
      buffers_.emplace_back(2, kBlock);
    }
    // One silent block each, as a host sends while stopped: the parameter
    // changes reach the processors with it.
    for (std::size_t i = 0; i < instances_.size(); ++i) {
      buffers_[i].clear();
      instances_[i]->processBlock(buffers_[i], midi_);
    }
  }

  ~Session() {
    StopAudio();
    for (auto& instance : instances_) instance->releaseResources();
    instances_.clear();
  }

  // silent: every block is all zeros, as a stopped transport sends.
  void StartAudio(bool silent = false) {
    silent_ = silent;
    stop_.store(false);
    lateBlocks_.store(0);
    audio_ = std::thread([this] { AudioLoop(); });
  }

  void StopAudio() {
    stop_.store(true);
    if (audio_.joinable()) audio_.join();
  }

  long LateBlocks() const { return lateBlocks_.load(); }

 private:
  // One audio thread for all instances, one block per 512 frames of wall time.
  void AudioLoop() {
    pthread_setname_np(pthread_self(), kAudioThreadName);
    const auto start = Clock::now();
    for (long block = 0; !stop_.load(); ++block) {
      const juce::AudioBuffer<float>& input = programme_[static_cast<std::size_t>(block % kProgrammeBlocks)];
      for (std::size_t i = 0; i < instances_.size(); ++i) {
        if (silent_)
          buffers_[i].clear();
        else
          buffers_[i].makeCopyOf(input, true);
        instances_[i]->processBlock(buffers_[i], midi_);
      }
      const auto due = start + std::chrono::duration_cast<Clock::duration>(
                                   std::chrono::duration<double>((block + 1) * kBlock / kRate));
      if (Clock::now() > due) lateBlocks_.fetch_add(1);
      std::this_thread::sleep_until(due);
    }
  }

  std::vector<std::unique_ptr<juce::AudioPluginInstance>> instances_;
  std::vector<juce::AudioBuffer<float>> buffers_;
  const std::vector<juce::AudioBuffer<float>> programme_ = MakeProgramme();
  juce::MidiBuffer midi_;
  std::thread audio_;
  std::atomic<bool> stop_{false};
  std::atomic<long> lateBlocks_{0};
  bool silent_ = false;
};

// The process's resident set size, from /proc.
double ResidentMiB() {
  long pages = 0, resident = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Lets the session run for the warm-up, then measures it for the set time.
Measurement Measure(const Options& options, const Session& session) {
  Wait(options.warmUpSeconds);
  const ThreadTimes threadsBefore = ReadThreadTimes();
  const long lateBefore = session.LateBlocks();
  const double cpuBefore = ProcessCpuSeconds();
  const auto wallBefore = Clock::now();
  Wait(options.seconds);
  const double cpu = ProcessCpuSeconds() - cpuBefore;
  const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
  const ThreadTimes threadsAfter = ReadThreadTimes();

  Measurement m;
  m.share = 100.0 * cpu / wall;
  m.residentMiB = ResidentMiB();
  m.lateBlocks = session.LateBlocks() - lateBefore;
  for (const auto& [tid, after] : threadsAfter.byTid) {
    const auto before = threadsBefore.byTid.find(tid);
    const double start = before != threadsBefore.byTid.end() ? before->second.second : 0.0;
    ThreadGroup& group = m.threads[after.first];
    group.threads += 1;
    group.share += 100.0 * (after.second - start) / wall;
  }
  return m;
}

struct PluginResults {
  Measurement idle;
  Measurement silent;
  Measurement playing;
};

PluginResults MeasurePlugin(const Options& options, const std::string& bundle, const char* label) {
  std::fprintf(stderr, "bench_instances: %s: loading %d instances\n", label, options.instances);
  PluginResults results;
  std::unique_ptr<Session> session;
  OnMessageThread([&] { session = std::make_unique<Session>(bundle, options.instances); });
  std::fprintf(stderr, "bench_instances: %s: idle\n", label);
  results.idle = Measure(options, *session);
  std::fprintf(stderr, "bench_instances: %s: silent buffers\n", label);
  session->StartAudio(true);
  results.silent = Measure(options, *session);
  session->StopAudio();
  std::fprintf(stderr, "bench_instances: %s: playing\n", label);
  session->StartAudio();
  results.playing = Measure(options, *session);
  session->StopAudio();
  OnMessageThread([&] { session.reset(); });
  Wait(1.0);
  return results;
}

double MedianOf(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

// The median of each share over the rounds; late blocks added up.
Measurement Median(const std::vector<Measurement>& rounds) {
  Measurement m;
  std::vector<double> shares, resident;
  std::map<std::string, std::vector<double>> threadShares;
  for (const Measurement& round : rounds) {
    shares.push_back(round.share);
    resident.push_back(round.residentMiB);
    m.lateBlocks += round.lateBlocks;
    for (const auto& [name, group] : round.threads) {
      m.threads[name].threads = std::max(m.threads[name].threads, group.threads);
      threadShares[name];
    }
  }
  m.share = MedianOf(shares);
  m.residentMiB = MedianOf(resident);
  for (auto& [name, values] : threadShares) {
    for (const Measurement& round : rounds) {
      const auto found = round.threads.find(name);
      values.push_back(found != round.threads.end() ? found->second.share : 0.0);
    }
    m.threads[name].share = MedianOf(values);
  }
  return m;
}

void PrintThreads(const char* title, const Measurement& floor, const Measurement& plugin) {
  std::printf("\n%s, share of a core by thread (threads of one name added up; their number)\n", title);
  std::printf("  %-32s %16s %16s\n", "thread", "pass-through", "Ombrix");
  struct Row {
    std::string name;
    const ThreadGroup* floor = nullptr;
    const ThreadGroup* plugin = nullptr;
  };
  std::map<std::string, Row> rows;
  for (const auto& [name, group] : floor.threads) rows[name].floor = &group;
  for (const auto& [name, group] : plugin.threads) rows[name].plugin = &group;
  std::vector<Row> sorted;
  for (auto& [name, row] : rows) {
    row.name = name;
    sorted.push_back(row);
  }
  const auto share = [](const ThreadGroup* group) { return group != nullptr ? group->share : 0.0; };
  std::sort(sorted.begin(), sorted.end(), [&](const Row& a, const Row& b) {
    return share(a.plugin) + share(a.floor) > share(b.plugin) + share(b.floor);
  });
  const auto cell = [](const ThreadGroup* group) {
    if (group == nullptr) return std::string("-");
    char text[40];
    std::snprintf(text, sizeof text, "%.2f %% (%d)", group->share, group->threads);
    return std::string(text);
  };
  for (const Row& row : sorted) {
    if (std::max(share(row.floor), share(row.plugin)) < 0.005) continue;
    std::printf("  %-32s %16s %16s\n", row.name.c_str(), cell(row.floor).c_str(), cell(row.plugin).c_str());
  }
}

void PrintResults(const Options& options, const PluginResults& floor, const PluginResults& plugin) {
  std::printf(
      "%d instances each, %.0f Hz stereo, %d-frame blocks at real-time pace, \"Correct\" on, "
      "%.0f s measured per case, median of %d rounds\n\n",
      options.instances, kRate, kBlock, options.seconds, options.rounds);
  std::printf("%-24s %13s %10s %17s %14s\n", "share of a core", "pass-through", "Ombrix", "above the floor",
              "per instance");
  const auto row = [&](const char* name, const Measurement& f, const Measurement& p) {
    const double above = p.share - f.share;
    std::printf("%-24s %11.2f %% %8.2f %% %15.2f %% %12.3f %%\n", name, f.share, p.share, above,
                above / options.instances);
  };
  row("idle (no audio)", floor.idle, plugin.idle);
  row("silent buffers flowing", floor.silent, plugin.silent);
  row("playing, correction on", floor.playing, plugin.playing);
  if (floor.playing.lateBlocks + plugin.playing.lateBlocks > 0)
    std::printf("late audio blocks: pass-through %ld, Ombrix %ld\n", floor.playing.lateBlocks,
                plugin.playing.lateBlocks);
  const double residentAbove = plugin.idle.residentMiB - floor.idle.residentMiB;
  std::printf("resident size after loading: pass-through %.1f MiB, Ombrix %.1f MiB: %.1f MiB above the floor, "
              "%.2f MiB per instance\n",
              floor.idle.residentMiB, plugin.idle.residentMiB, residentAbove, residentAbove / options.instances);
  PrintThreads("idle", floor.idle, plugin.idle);
  PrintThreads("silent buffers flowing", floor.silent, plugin.silent);
  PrintThreads("playing", floor.playing, plugin.playing);
}

// A data folder of our own with the update check switched off.
juce::File PrepareDataFolder() {
  const juce::File folder =
      juce::File::getSpecialLocation(juce::File::tempDirectory).getNonexistentChildFile("bench-instances", "");
  const juce::File shared = folder.getChildFile("Kestrune").getChildFile("Shared");
  shared.createDirectory();
  shared.getChildFile("updates-off").create();
  setenv("XDG_DATA_HOME", folder.getFullPathName().toRawUTF8(), 1);
  setenv("KESTRUNE_UPDATES_URL", "http://127.0.0.1:9/updates.json", 1);
  return folder;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    Usage();
    return 2;
  }
  const juce::File dataFolder = PrepareDataFolder();
  std::vector<Measurement> floorIdle, floorSilent, floorPlaying, pluginIdle, pluginSilent, pluginPlaying;
  {
    juce::ScopedJuceInitialiser_GUI juce;
    std::thread control([&] {
      pthread_setname_np(pthread_self(), "bench control");
      for (int round = 0; round < options.rounds; ++round) {
        std::fprintf(stderr, "bench_instances: round %d of %d\n", round + 1, options.rounds);
        const PluginResults floor = MeasurePlugin(options, options.floor, "pass-through");
        const PluginResults plugin = MeasurePlugin(options, options.plugin, "Ombrix");
        floorIdle.push_back(floor.idle);
        floorSilent.push_back(floor.silent);
        floorPlaying.push_back(floor.playing);
        pluginIdle.push_back(plugin.idle);
        pluginSilent.push_back(plugin.silent);
        pluginPlaying.push_back(plugin.playing);
      }
      juce::MessageManager::getInstance()->stopDispatchLoop();
    });
    juce::MessageManager::getInstance()->runDispatchLoop();
    control.join();
  }
  dataFolder.deleteRecursively();
  PrintResults(options, PluginResults{Median(floorIdle), Median(floorSilent), Median(floorPlaying)},
               PluginResults{Median(pluginIdle), Median(pluginSilent), Median(pluginPlaying)});
  return 0;
}
