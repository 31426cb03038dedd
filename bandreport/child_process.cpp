// Running a program as a child process in a given folder and collecting what it printed.
#include "bandreport/child_process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bandreport/stop_signals.h"

extern char** environ;

namespace bandreport {

namespace {

// Output kept per stream; a runaway child is drained but not stored beyond this.
constexpr std::size_t output_cap = 1 << 20;

// Closes a descriptor at scope end.
struct Descriptor {
  int fd = -1;
  Descriptor() = default;
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { reset(); }
  void reset() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
};

// Both ends carry close-on-exec, so that children started at the same time by
// other threads never hold a write end open (which would keep our reads from ending).
bool make_pipe(Descriptor& read_end, Descriptor& write_end) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  read_end.fd = fds[0];
  write_end.fd = fds[1];
  return true;
}

// After a kill, how long the pipes are still read: a program that escaped its group must not hold the batch up.
constexpr double grace_after_kill = 1.0;

using Clock = std::chrono::steady_clock;

// Milliseconds for poll to wait until `deadline`, or -1 for no deadline.
int wait_until(const std::optional<Clock::time_point>& deadline) {
  if (!deadline) return -1;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left + 1, 0, 1 << 30));
}

// Reads both pipes until the child has closed them. With a time limit, the child's
// group is killed at `deadline`, and reading ends a little later in any case.
void drain(Descriptor& out, Descriptor& err, pid_t group, std::optional<Clock::time_point> deadline,
           ChildOutcome& outcome) {
  char buffer[8192];
  while (out.fd >= 0 || err.fd >= 0) {
    if (deadline && Clock::now() >= *deadline) {
      if (outcome.timed_out) break;  // the grace after the kill is over too
      ::kill(-group, SIGKILL);
      outcome.timed_out = true;
      deadline =
          Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(grace_after_kill));
    }
    pollfd fds[2] = {{out.fd, POLLIN, 0}, {err.fd, POLLIN, 0}};
    if (::poll(fds, 2, wait_until(deadline)) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int k = 0; k < 2; ++k) {
      if (fds[k].fd < 0 || fds[k].revents == 0) continue;
      Descriptor& source = k == 0 ? out : err;
      std::string& text = k == 0 ? outcome.out : outcome.err;
      const ssize_t n = ::read(source.fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        source.reset();
        continue;
      }
      if (text.size() < output_cap) text.append(buffer, std::min<std::size_t>(n, output_cap - text.size()));
    }
  }
}

// A program that closed its output but runs on is still held to its time limit: its
// exit is awaited (without reaping it) until the deadline, then its group is killed.
void wait_for_exit(pid_t pid, Clock::time_point deadline, ChildOutcome& outcome) {
  Descriptor process;
  process.fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  if (process.fd < 0) return;  // a system without process descriptors: the wait is not limited
  pollfd fds[1] = {{process.fd, POLLIN, 0}};
  int ready;
  do ready = ::poll(fds, 1, wait_until(deadline));
  while (ready < 0 && errno == EINTR);
  if (ready == 0) {
    ::kill(-pid, SIGKILL);
    outcome.timed_out = true;
  }
}

bool is_executable_file(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  int result;
  do result = ::access(path.c_str(), X_OK);
  while (result != 0 && errno == EINTR);  // a signal during the check says nothing about the file
  return result == 0;
}

}  // namespace

ChildOutcome run_in_folder(const std::string& program, const std::vector<std::string>& args, const std::string& dir,
                           double time_limit) {
  ChildOutcome outcome;
  Descriptor out_read, out_write, err_read, err_write;
  if (!make_pipe(out_read, out_write) || !make_pipe(err_read, err_write)) {
    outcome.start_error = errno;
    return outcome;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out_write.fd, 1);
  posix_spawn_file_actions_adddup2(&actions, err_write.fd, 2);
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  if (time_limit > 0) {
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);  // a group of its own, led by the program
  }
  std::vector<char*> argv = {const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int failed = ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (failed != 0) {
    outcome.start_error = failed;
    return outcome;
  }
  out_write.reset();
  err_write.reset();
  std::optional<Clock::time_point> deadline;
  int slot = -1;
  if (time_limit > 0) {
    slot = register_group(pid);
    deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(time_limit));
  }
  drain(out_read, err_read, pid, deadline, outcome);
  if (deadline && !outcome.timed_out) wait_for_exit(pid, *deadline, outcome);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      unregister_group(slot);
      outcome.start_error = errno;
      return outcome;
    }
  }
  // The group leader is reaped only now, so that its group id could not be reused by another process while the
  // group was still registered for killing.
  unregister_group(slot);
  if (WIFEXITED(status)) outcome.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  return outcome;
}

std::string find_program(const std::string& name) {
  std::error_code failed;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", failed);
  if (!failed) {
    const std::filesystem::path here = self.parent_path();
    for (const auto& candidate : {here / name, here.parent_path() / name / name})
      if (is_executable_file(candidate.string())) return candidate.string();
  }
  const char* path = std::getenv("PATH");
  std::string_view dirs = path ? path : "";
  while (!dirs.empty()) {
    const std::size_t colon = dirs.find(':');
    std::string dir(dirs.substr(0, colon));
    dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
    if (dir.empty()) continue;  // an empty entry would mean the current folder; never take programs from there
    const std::string candidate = dir + "/" + name;
    if (is_executable_file(candidate)) return std::filesystem::absolute(candidate).string();
  }
  return "";
}

}  // namespace bandreport
