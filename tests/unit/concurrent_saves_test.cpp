// Several processes saving the same target or preset file at the same moment,
// as two hosts on one machine do: real processes (fork) on a real data folder.
// Windows has no fork: there the writers and the reader are threads, each
// opening and replacing the files by itself as a process would.
// Every save must report what happened, every read in the meantime must find
// one whole text, and no temporary file may be left behind.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <atomic>
#include <thread>
#else
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "library/current_target.h"
#include "library/data_folders.h"
#include "library/file_helpers.h"
#include "library/presets.h"
#include "library/target_library.h"
#include "support/temp_data_home.h"

namespace ombrix {
namespace {

namespace fs = std::filesystem;

constexpr int kSavesPerWriter = 150;

// What a child process saw, sent back to the test through a pipe.
struct ChildReport {
  std::int64_t operations = 0;  // saves made, or reads made
  std::int64_t failures = 0;    // saves that reported failure, or reads of a file that was not one whole text
  std::int64_t filesSeen = 0;   // reads that found a file at all
};

#ifdef _WIN32
// A one-way signal standing in for a pipe whose write end closes, and the
// thread behind a report.
using pid_t = int;
class Pipe {
 public:
  void CloseWrite() { closed_.store(true); }
  bool WriteClosed() const { return closed_.load(); }
  std::thread thread;
  ChildReport report;

 private:
  std::atomic<bool> closed_{false};
};

void WaitForStart(Pipe& start, Pipe&) {
  while (!start.WriteClosed()) std::this_thread::yield();
}

bool StopAsked(const Pipe& stop) { return stop.WriteClosed(); }

pid_t Spawn(Pipe& report, const std::function<ChildReport()>& body) {
  report.thread = std::thread([&report, body] { report.report = body(); });
  return 0;
}

ChildReport Collect(pid_t, Pipe& report) {
  report.thread.join();
  return report.report;
}
#else
// A pipe whose ends close with the object.
class Pipe {
 public:
  Pipe() { EXPECT_EQ(pipe(fds_.data()), 0); }
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  int Read() const { return fds_[0]; }
  int Write() const { return fds_[1]; }
  void CloseRead() { Close(fds_[0]); }
  void CloseWrite() { Close(fds_[1]); }

 private:
  static void Close(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
  std::array<int, 2> fds_{-1, -1};
};

// Blocks until the test closes the write end of `start`. The child's own
// copies of the write ends must go first, or the end would never come.
void WaitForStart(Pipe& start, Pipe& stop) {
  start.CloseWrite();
  stop.CloseWrite();
  char byte = 0;
  while (read(start.Read(), &byte, 1) > 0) {
  }
}

bool StopAsked(const Pipe& stop) {
  pollfd request{stop.Read(), POLLIN, 0};
  return poll(&request, 1, 0) > 0;  // readable means the write end was closed
}

// Runs `body` in a child process that reports through its own pipe and ends
// with _exit, so that nothing of the test (the data home included) is torn
// down twice.
pid_t Spawn(Pipe& report, const std::function<ChildReport()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    const ChildReport result = body();
    const bool sent = write(report.Write(), &result, sizeof result) == static_cast<ssize_t>(sizeof result);
    _exit(sent ? 0 : 1);
  }
  return pid;
}

ChildReport Collect(pid_t pid, Pipe& report) {
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  ChildReport result;
  report.CloseWrite();
  EXPECT_EQ(read(report.Read(), &result, sizeof result), static_cast<ssize_t>(sizeof result));
  return result;
}

#endif

std::vector<std::string> FileNamesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  return names;
}

// One kind of document: how writer 0 or 1 saves its own text, the file both
// land in, and the two texts a reader may find there.
struct SaveCase {
  std::string testName;
  std::string label;
  std::function<bool(int writer)> save;
  std::function<fs::path()> file;
  std::array<std::string, 2> texts;
};

TargetChoice LearnedTarget(double level) {
  TargetChoice choice;
  choice.kind = TargetKind::Learned;
  choice.name = "learned";
  choice.curve.fill(level);
  choice.spread.fill(level);
  return choice;
}

// Two names that clean to one file name: A/B and A-B both go to A-B.omtarget.
SaveCase TargetCase() {
  static const std::array<std::string, 2> kNames = {"A/B", "A-B"};
  SaveCase c;
  c.testName = "Targets";
  c.label = "targets named A/B and A-B";
  c.save = [](int writer) {
    CurrentTarget current;
    current.Set(LearnedTarget(writer + 1.0));
    bool saved = false;
    SaveUserTarget(
        kNames[writer], current, [](const std::string&, TargetAnswer replace) { replace(true); },
        [&saved](const TargetSaveResult& result) { saved = result.outcome == TargetSaveOutcome::Saved; });
    return saved;
  };
  c.file = [] { return TargetPathForName("A-B"); };
  for (int writer = 0; writer < 2; ++writer) {
    const TargetChoice values = LearnedTarget(writer + 1.0);
    c.texts[writer] = WriteTargetText(kNames[writer], "", values.curve, values.spread);
  }
  return c;
}

// One preset name, two different states.
SaveCase PresetCase() {
  static const std::array<std::vector<std::uint8_t>, 2> kStates = {std::vector<std::uint8_t>(3000, 0x11),
                                                                   std::vector<std::uint8_t>(2000, 0x22)};
  SaveCase c;
  c.testName = "Presets";
  c.label = "presets named Warm";
  c.save = [](int writer) {
    std::string reason;
    return WritePresetFile(PresetsFolder(), "Warm", kStates[writer], reason);
  };
  c.file = [] { return PresetsFolder() / "Warm.ompreset"; };
  // The texts as a lone writer leaves them, read back from a scratch folder.
  for (int writer = 0; writer < 2; ++writer) {
    const fs::path scratch = test::MakeFreshTestFolder("preset-text");
    std::string reason;
    EXPECT_TRUE(WritePresetFile(scratch, "Warm", kStates[writer], reason)) << reason;
    c.texts[writer] = test::Slurp(scratch / "Warm.ompreset");
    fs::remove_all(scratch);
  }
  return c;
}

class ConcurrentSaves : public testing::TestWithParam<SaveCase (*)()> {
 protected:
  test::TempDataHome home_;
};

TEST_P(ConcurrentSaves, EverySaveSucceedsAndEveryReadFindsOneWholeText) {
  const SaveCase c = GetParam()();
  const auto isWhole = [&c](const std::string& text) { return text == c.texts[0] || text == c.texts[1]; };

  Pipe start, stop;
  std::array<Pipe, 3> reports;
  std::array<pid_t, 3> children{};
  for (int writer = 0; writer < 2; ++writer) {
    children[writer] = Spawn(reports[writer], [&, writer] {
      WaitForStart(start, stop);
      ChildReport report;
      for (int n = 0; n < kSavesPerWriter; ++n) {
        ++report.operations;
        if (!c.save(writer)) ++report.failures;
        // Right after a save that reported success there is one whole text.
        const auto text = ReadSmallFile(c.file());
        if (!text || !isWhole(*text)) ++report.failures;
      }
      return report;
    });
  }
  children[2] = Spawn(reports[2], [&] {
    WaitForStart(start, stop);
    ChildReport report;
    // Reads until the writers are done, then once more.
    for (bool last = false; !last;) {
      last = StopAsked(stop);
      ++report.operations;
      const auto text = ReadSmallFile(c.file());
      if (!text) continue;  // before the first save
      ++report.filesSeen;
      if (!isWhole(*text)) ++report.failures;
    }
    return report;
  });
  start.CloseWrite();

  for (int writer = 0; writer < 2; ++writer) {
    const ChildReport report = Collect(children[writer], reports[writer]);
    EXPECT_EQ(report.operations, kSavesPerWriter) << c.label << ", writer " << writer;
    EXPECT_EQ(report.failures, 0) << c.label << ", writer " << writer;
  }
  stop.CloseWrite();
  const ChildReport reader = Collect(children[2], reports[2]);
  EXPECT_EQ(reader.failures, 0) << c.label << ": reads that found an empty or mixed file";
  EXPECT_GT(reader.filesSeen, 0) << c.label;

  const auto final = ReadSmallFile(c.file());
  ASSERT_TRUE(final) << c.label;
  EXPECT_TRUE(isWhole(*final)) << c.label;
  EXPECT_EQ(FileNamesIn(c.file().parent_path()), std::vector<std::string>{c.file().filename().string()})
      << c.label << ": only the document, no temporary file";
}

INSTANTIATE_TEST_SUITE_P(Documents, ConcurrentSaves, testing::Values(&TargetCase, &PresetCase),
                         [](const testing::TestParamInfo<SaveCase (*)()>& info) { return info.param().testName; });

}  // namespace
}  // namespace ombrix
