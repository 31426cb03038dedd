// Programs run under a time limit get a process group of their own, so that stopping one stops all it started.
#include "bandreport/stop_signals.h"

#include <atomic>
#include <cassert>
#include <csignal>

#include "bandreport/command_line.h"

namespace bandreport {

namespace {

// Each thread of a batch runs one program at a time, and a batch has at most two threads per job.
constexpr int slot_count = 2 * max_jobs;
std::atomic<pid_t> groups[slot_count];
static_assert(std::atomic<pid_t>::is_always_lock_free, "the signal handler reads the slots");

// Only calls that are safe in a signal handler: kill, signal, raise.
void stop_groups(int signal_number) {
  for (std::atomic<pid_t>& group : groups) {
    const pid_t id = group.load();
    if (id > 0) ::kill(-id, SIGKILL);
  }
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

}  // namespace

void pass_stop_signals_to_groups() {
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction before = {};
    // A signal the batch was started to ignore (e.g. a hang-up under nohup) stays ignored.
    if (::sigaction(signal_number, nullptr, &before) != 0 || before.sa_handler == SIG_IGN) continue;
    struct sigaction action = {};
    action.sa_handler = stop_groups;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signal_number, &action, nullptr);
  }
}

int register_group(pid_t group) {
  for (int slot = 0; slot < slot_count; ++slot) {
    pid_t free = 0;
    if (groups[slot].compare_exchange_strong(free, group)) return slot;
  }
  assert(false && "more programs at once than threads");
  return -1;
}

void unregister_group(int slot) {
  if (slot >= 0) groups[slot].store(0);
}

}  // namespace bandreport
