#pragma once

// Threads of any process by the kernel's thread id, the number Windows calls the thread id.

#include <cstdint>

namespace ruzd::platform {

// Whether the thread exists and has not ended: a thread that has exited (a zombie that waits to
// be reaped, or one that is gone) is not running.
bool IsKernelThreadRunning(uint32_t thread_id);

}  // namespace ruzd::platform
