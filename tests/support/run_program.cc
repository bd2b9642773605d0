#include "support/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>

extern char** environ;

namespace velkor::testing {
namespace {

// This process's environment with `overrides` applied, as "NAME=value" texts.
std::vector<std::string> mergedEnvironment(const EnvOverrides& overrides) {
  std::map<std::string, std::string> vars;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry(*e);
    const size_t eq = entry.find('=');
    if (eq != std::string::npos) vars[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (const auto& [name, value] : overrides) vars[name] = value;
  std::vector<std::string> out;
  for (const auto& [name, value] : vars) {
    if (value != kUnset) out.push_back(name + "=" + value);
  }
  return out;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

// pipe2 is Linux-only; tests spawn from one thread, so the window between the calls is harmless.
bool cloexecPipe(int fds[2]) {
  if (pipe(fds) != 0) return false;
  return fcntl(fds[0], F_SETFD, FD_CLOEXEC) == 0 && fcntl(fds[1], F_SETFD, FD_CLOEXEC) == 0;
}

}  // namespace

RunResult runProgram(const std::vector<std::string>& args, const EnvOverrides& env) {
  RunResult result;
  int outPipe[2];
  int errPipe[2];
  if (!cloexecPipe(outPipe) || !cloexecPipe(errPipe)) return result;
  std::vector<std::string> argv{VELKOR_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> envp = mergedEnvironment(env);
  std::vector<char*> argvPtrs = pointers(argv);
  std::vector<char*> envPtrs = pointers(envp);

  // fork, not posix_spawn: a child sharing this process's memory until exec would report this
  // process's peak resident size as its own.
  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY);
    if (in < 0 || dup2(in, 0) < 0 || dup2(outPipe[1], 1) < 0 || dup2(errPipe[1], 2) < 0) _exit(127);
    execve(argvPtrs[0], argvPtrs.data(), envPtrs.data());
    _exit(127);
  }
  const int spawned = pid > 0 ? 0 : -1;
  close(outPipe[1]);
  close(errPipe[1]);

  // Both pipes are drained together, so that a full one cannot stall the child.
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  char buffer[65536];
  while (spawned == 0 && (fds[0].fd >= 0 || fds[1].fd >= 0) && poll(fds, 2, -1) >= 0) {
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) sinks[i]->append(buffer, static_cast<size_t>(n));
      if (n > 0) continue;
      close(fds[i].fd);
      fds[i].fd = -1;
    }
  }
  for (const pollfd& f : fds) {
    if (f.fd >= 0) close(f.fd);
  }
  int wstatus = 0;
  rusage usage{};
  if (spawned == 0 && wait4(pid, &wstatus, 0, &usage) == pid && WIFEXITED(wstatus)) {
    result.status = WEXITSTATUS(wstatus);
    result.peakMb = static_cast<double>(usage.ru_maxrss) / 1024;
  }
  return result;
}

}  // namespace velkor::testing
