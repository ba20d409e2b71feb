#pragma once
// How a command ends: success, a failure with a one-line reason, or a usage
// error. Commands throw CommandError; the dispatcher prints it and returns
// its exit status.
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace ombrix::cli {

enum ExitStatus : int { kExitSuccess = 0, kExitFailure = 1, kExitUsage = 2 };

class CommandError : public std::runtime_error {
 public:
  CommandError(ExitStatus status, const std::string& reason) : std::runtime_error(reason), status_(status) {}
  ExitStatus Status() const { return status_; }

 private:
  ExitStatus status_;
};

// A bad argument: exit status 2.
inline CommandError UsageError(const std::string& reason) { return CommandError(kExitUsage, reason); }
// The work could not be done: exit status 1.
inline CommandError Failure(const std::string& reason) { return CommandError(kExitFailure, reason); }

// A file named where there is a folder: throws Failure("<shown>: is a folder").
void RefuseFolder(const std::filesystem::path& path, const std::string& shown);

// "ombrix <command>: <reason>" on stderr.
void PrintReason(std::string_view command, std::string_view reason);

}  // namespace ombrix::cli
