#pragma once

// Thread priorities. The highest priority a thread may ask for without leaving the normal
// (time-shared) scheduling class is two nice steps above the process's own: enough for a thread
// that forwards the boards' events to run ahead of the busy ones, never enough to starve them,
// which a real-time class could.

#include <cstdint>
#include <string>

namespace ruzd::platform {

// How far above the process's priority the highest thread priority stands, in nice steps.
inline constexpr int kHighestPriorityNiceSteps = 2;

// The nice value (lower runs first) of the thread with the kernel id `thread_id`
// (CurrentThreadId()), and the process's: its first thread's.
int ThreadNice(uint32_t thread_id);
int ProcessNice();

// Raises the calling thread to the highest priority, ProcessNice() - kHighestPriorityNiceSteps. 0
// when done; else the system's reason (EACCES or EPERM when the process may not raise a priority),
// and the thread goes on at the priority it had.
int RaiseCurrentThreadToHighestPriority();

// The system's text for an errno value.
std::string SystemErrorText(int error);

}  // namespace ruzd::platform
