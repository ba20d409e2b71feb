// ombrix: the plug-in's analysis, learning and rendering on the command line.
#include <juce_events/juce_events.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <windows.h>
// windows.h first: the shell's header needs its types.
#include <shellapi.h>
#endif

#include "tools/ombrix/command_error.h"
#include "tools/ombrix/commands.h"

namespace {

using namespace ombrix::cli;

struct Command {
  std::string_view name;
  int (*run)(const std::vector<std::string>&);
  bool hostsPlugin;
  const char* const* summary;
};

constexpr Command kCommands[] = {
    {"analyze", RunAnalyze, false, &kAnalyzeSummary},
    {"learn", RunLearn, false, &kLearnSummary},
    {"render", RunRender, true, &kRenderSummary},
    {"demo", RunDemo, true, &kDemoSummary},
    {"screenshot", RunScreenshot, true, &kScreenshotSummary},
};

// The summaries line up in one column after the longest command name.
void PrintUsage(std::FILE* out) {
  std::size_t width = 0;
  for (const Command& command : kCommands) width = std::max(width, command.name.size());
  std::fputs("Usage: ombrix COMMAND [ARGUMENTS]\n\nCommands:\n", out);
  for (const Command& command : kCommands)
    std::fprintf(out, "  %-*s  %s\n", static_cast<int>(width), std::string(command.name).c_str(), *command.summary);
  std::fputs(
      "\n\"ombrix COMMAND --help\" describes a command. Exit status: 0 on success,\n"
      "1 on a failure (the reason is on stderr), 2 on a usage error.\n",
      out);
}

int RunCommand(const Command& command, const std::vector<std::string>& arguments) {
  if (!command.hostsPlugin) return command.run(arguments);
  // The VST3 host needs the framework's message thread: this one.
  juce::ScopedJuceInitialiser_GUI framework;
  return command.run(arguments);
}

#ifdef _WIN32
// The command line as UTF-8, the way every path and name is handled inside
// (argv would come through the ANSI code page and lose characters); the
// console shows what is printed as UTF-8 too.
std::vector<std::string> Utf8CommandLine() {
  ::SetConsoleOutputCP(CP_UTF8);
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 0; wide != nullptr && i < count; ++i) {
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string text(bytes > 0 ? static_cast<std::size_t>(bytes - 1) : 0, '\0');
    if (bytes > 1) ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), bytes, nullptr, nullptr);
    arguments.push_back(std::move(text));
  }
  ::LocalFree(wide);
  return arguments;
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  const std::vector<std::string> utf8 = Utf8CommandLine();
  std::vector<char*> pointers;
  for (const std::string& argument : utf8) pointers.push_back(const_cast<char*>(argument.c_str()));
  pointers.push_back(nullptr);
  argc = static_cast<int>(utf8.size());
  argv = pointers.data();
#endif
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
      if (error.Status() == kExitUsage) std::fprintf(stderr, "Try \"ombrix %s --help\".\n", std::string(name).c_str());
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
