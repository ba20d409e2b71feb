#include "cli/program_run.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>

namespace ombrix::test_support {

ProgramRun RunOmbrix(const std::vector<std::string>& arguments, const std::string& workingFolder) {
  ProgramRun run;
  int outPipe[2], errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return run;

  std::vector<std::string> argvText{OMBRIX_CLI_PROGRAM};
  argvText.insert(argvText.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& a : argvText) argv.push_back(a.data());
  argv.push_back(nullptr);

  const pid_t child = fork();
  if (child == 0) {
    dup2(outPipe[1], STDOUT_FILENO);
    dup2(errPipe[1], STDERR_FILENO);
    close(outPipe[0]), close(outPipe[1]), close(errPipe[0]), close(errPipe[1]);
    if (!workingFolder.empty() && chdir(workingFolder.c_str()) != 0) _exit(126);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);

  std::array<pollfd, 2> fds{{{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}}};
  std::array<std::string*, 2> sinks{&run.out, &run.err};
  int open = 2;
  while (open > 0) {
    if (poll(fds.data(), fds.size(), -1) < 0) break;
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(got));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) run.exitStatus = WEXITSTATUS(status);
  return run;
}

}  // namespace ombrix::test_support
