#pragma once

// The process groups that children of ours lead (ChildStart::own_process_group) for as long as
// their ChildProcess lives: commands run to their end or to a time-out, whose runner ends each
// with its whole group. A process that ends at once, without the rest of its stop (a second stop
// signal, the stop's bound), ends these groups first: re-parented to init, they would run on with
// nothing left to bound them. Children in a session of their own (programs started for the
// user, a service) are not kept here: they are meant to outlive us.

#include <sys/types.h>

#include <cstddef>

namespace ruzd::platform {

// How many groups are kept at once; a group beyond them is ended by its runner only.
inline constexpr size_t kMaxChildGroups = 1024;

// Keeps the group led by `leader`; false when kMaxChildGroups are kept already.
bool KeepChildGroup(pid_t leader);
// Forgets the group: its owner has seen to it.
void ForgetChildGroup(pid_t leader);
// Kills every group kept, with SIGKILL as a runner's time-out does. Takes no lock and allocates
// nothing, so that a thread on its way out may call it whatever the other threads hold.
void KillChildGroups();

}  // namespace ruzd::platform
