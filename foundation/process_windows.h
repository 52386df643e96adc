#pragma once

// Asking another program to close, as a user closing its windows would, and forcing it when it
// does not.

#include <cstdint>

namespace ruzd::foundation {

// Posts WM_CLOSE to every window of the process; a process without a window that takes it is
// asked to end by SIGTERM instead. Without `force` that is all (true). With `force` the call waits
// up to `limit_ms` for the process to end and kills it when it has not; true when it has ended or
// was killed. False when there is no such process.
bool CloseProcessWindows(uint32_t process_id, bool force, uint32_t limit_ms);

}  // namespace ruzd::foundation
