// Programs run under a time limit get a process group of their own, so that stopping one stops all it started.
// Such a group no longer hears a stop typed at the terminal; these pass bandreport's own stop on to it.
#pragma once

#include <sys/types.h>

namespace bandreport {

// Makes an interrupt, termination or hang-up of bandreport kill the registered groups first. Call once, before
// any group is registered.
void pass_stop_signals_to_groups();

// Registers the process group `group` while its leader runs; returns the slot to give back to unregister_group.
int register_group(pid_t group);

void unregister_group(int slot);

}  // namespace bandreport
