#pragma once

// flock(2) with a bound on the wait. A lock is shared by everyone who can open the file: a
// process that holds one for ever must cost the others a bounded delay, never a hang.

#include <cstdint>

namespace ruzd::platform {

// How long a lock of a small file held only to read or write it whole may be waited for.
inline constexpr uint32_t kFileLockWaitMs = 5000;

// Takes LOCK_SH or LOCK_EX of `fd` within `timeout_ms`: true, or false with errno set
// (EWOULDBLOCK when someone held the lock all that time).
bool LockFileWithin(int fd, int operation, uint32_t timeout_ms);

}  // namespace ruzd::platform
