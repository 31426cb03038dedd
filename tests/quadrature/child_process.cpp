// Runs a piece of test code in a separate process and captures its console output and exit status.
#include "child_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

ChildRun run_in_child(const std::function<void()>& body) {
  std::fflush(stdout);
  int fds[2];
  if (pipe(fds) != 0) return {-1, "pipe failed"};
  const pid_t pid = fork();
  if (pid < 0) return {-1, "fork failed"};
  if (pid == 0) {
    close(fds[0]);
    dup2(fds[1], STDOUT_FILENO);
    close(fds[1]);
    body();
    std::fflush(stdout);
    _exit(0);
  }
  close(fds[1]);
  std::string output;
  char buf[4096];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) output.append(buf, static_cast<std::size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}
