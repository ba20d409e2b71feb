// ombrix: the plug-in's analysis, learning and rendering on the command line.
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include <juce_events/juce_events.h>

#include "tools/ombrix/command_error.h"
#include "tools/ombrix/commands.h"

namespace {

using namespace ombrix::cli;

constexpr const char* kUsage =
    "Usage: ombrix COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  analyze   %s\n"
    "  learn     %s\n"
    "  render    %s\n"
    "  demo      %s\n"
    "  screenshot %s\n"
    "\n"
    "\"ombrix COMMAND --help\" describes a command. Exit status: 0 on success,\n"
    "1 on a failure (the reason is on stderr), 2 on a usage error.\n";

void PrintUsage(std::FILE* out) {
  std::fprintf(out, kUsage, kAnalyzeSummary, kLearnSummary, kRenderSummary, kDemoSummary, kScreenshotSummary);
}

struct Command {
  std::string_view name;
  int (*run)(const std::vector<std::string>&);
  bool hostsPlugin;
};

constexpr Command kCommands[] = {
    {"analyze", RunAnalyze, false},
    {"learn", RunLearn, false},
    {"render", RunRender, true},
    {"demo", RunDemo, true},
    {"screenshot", RunScreenshot, true},
};

int RunCommand(const Command& command, const std::vector<std::string>& arguments) {
  if (!command.hostsPlugin) return command.run(arguments);
  // The VST3 host needs the framework's message thread: this one.
  juce::ScopedJuceInitialiser_GUI framework;
  return command.run(arguments);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(stderr);
    return kExitUsage;
  }
  const std::string_view name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintUsage(stdout);
    return kExitSuccess;
  }
  const std::vector<std::string> arguments(argv + 2, argv + argc);
  for (const Command& command : kCommands) {
    if (command.name != name) continue;
    try {
      return RunCommand(command, arguments);
    } catch (const CommandError& error) {
      PrintReason(name, error.what());
      if (error.Status() == kExitUsage)
        std::fprintf(stderr, "Try \"ombrix %s --help\".\n", std::string(name).c_str());
      return error.Status();
    } catch (const std::exception& error) {
      PrintReason(name, std::string("unexpected failure: ") + error.what());
      return kExitFailure;
    }
  }
  std::fprintf(stderr, "ombrix: unknown command \"%s\"\n", std::string(name).c_str());
  PrintUsage(stderr);
  return kExitUsage;
}
