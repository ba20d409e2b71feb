#pragma once
// Runs the ombrix program as a child process and collects what it printed.
#include <string>
#include <vector>

namespace ombrix::test_support {

struct ProgramRun {
  int exitStatus = -1;  // -1 when it did not exit normally
  std::string out;      // stdout
  std::string err;      // stderr
};

// Runs OMBRIX_CLI_PROGRAM with the arguments (no shell involved), in the
// given working folder (empty: the test's own).
ProgramRun RunOmbrix(const std::vector<std::string>& arguments, const std::string& workingFolder = {});

}  // namespace ombrix::test_support
