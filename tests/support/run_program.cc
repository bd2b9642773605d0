#include "support/run_program.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>

extern char** environ;

namespace velkor::testing {
namespace {

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

// The whole content of a file open at `fd`, which is then closed.
std::string drained(int fd) {
  std::string out;
  char buffer[65536];
  for (ssize_t n; (n = pread(fd, buffer, sizeof buffer, static_cast<off_t>(out.size()))) > 0;)
    out.append(buffer, static_cast<size_t>(n));
  close(fd);
  return out;
}

}  // namespace

RunResult runProgram(const std::vector<std::string>& args, const EnvOverrides& env) {
  return runProgramAt(VELKOR_BINARY, args, env);
}

RunResult runProgramAt(const std::string& binary, const std::vector<std::string>& args,
                       const EnvOverrides& env) {
  std::vector<std::string> argv{binary}, envp;
  argv.insert(argv.end(), args.begin(), args.end());
  std::map<std::string, std::string> vars;  // later settings win
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry(*e);
    vars[entry.substr(0, entry.find('='))] =
        entry.substr(std::min(entry.find('='), entry.size() - 1) + 1);
  }
  // The file-store runs stay clear of a desktop session's calendar store, and of the user's
  // Thunderbird profile unless a test gives a home of its own.
  vars.erase("DBUS_SESSION_BUS_ADDRESS");
  vars["HOME"] = "/nonexistent/velkor-test-home";
  for (const auto& [name, value] : env) vars[name] = value;
  for (const auto& [name, value] : vars) envp.push_back(name + "=" + value);
  std::vector<char*> argvPtrs = pointers(argv), envPtrs = pointers(envp);
  // Standard output and error go to unnamed files, which never fill up like pipes.
  char outName[] = "/tmp/velkor-out-XXXXXX", errName[] = "/tmp/velkor-err-XXXXXX";
  const int out = mkstemp(outName), err = mkstemp(errName);
  unlink(outName);
  unlink(errName);
  // fork, not posix_spawn: a child sharing this process's memory until exec would report this
  // process's peak resident size as its own.
  const pid_t pid = out >= 0 && err >= 0 ? fork() : -1;
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY);
    if (in < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
    execve(argvPtrs[0], argvPtrs.data(), envPtrs.data());
    _exit(127);
  }
  RunResult result;
  int wstatus = 0;
  rusage usage{};
  if (pid > 0 && wait4(pid, &wstatus, 0, &usage) == pid && WIFEXITED(wstatus)) {
    result.status = WEXITSTATUS(wstatus);
    result.peakMb = static_cast<double>(usage.ru_maxrss) / 1024;
  }
  result.out = drained(out);
  result.err = drained(err);
  return result;
}

}  // namespace velkor::testing
