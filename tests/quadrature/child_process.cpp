// Runs a piece of test code in a separate process and captures its console output, error lines and exit status.
#include "child_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

namespace {

// Everything readable from FD until its writers close it.
std::string read_all(int fd) {
  std::string text;
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) text.append(buf, static_cast<std::size_t>(n));
  close(fd);
  return text;
}

}  // namespace

ChildRun run_in_child(const std::function<void()>& body) {
  std::fflush(stdout);
  std::fflush(stderr);
  int fds[2];
  int err_fds[2];
  if (pipe(fds) != 0) return {-1, "pipe failed", ""};
  if (pipe(err_fds) != 0) return {-1, "pipe failed", ""};
  const pid_t pid = fork();
  if (pid < 0) return {-1, "fork failed", ""};
  if (pid == 0) {
    close(fds[0]);
    close(err_fds[0]);
    dup2(fds[1], STDOUT_FILENO);
    dup2(err_fds[1], STDERR_FILENO);
    close(fds[1]);
    close(err_fds[1]);
    body();
    std::fflush(stdout);
    _exit(0);
  }
  close(fds[1]);
  close(err_fds[1]);
  // Standard error carries at most a line or two, so reading it second cannot stall the child.
  std::string output = read_all(fds[0]);
  std::string errors = read_all(err_fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output, errors};
}
