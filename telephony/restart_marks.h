#pragma once

// Restart marks: one flag per line device number while the device restarts. cc_Restart sets the
// mark, the manager's event thread clears it when the restart-complete event of the device
// arrives, and meanwhile the call-control operations that act on calls refuse to run for it.
// The marks live for the whole process, before and after the facade, and are read and written
// from different threads without a lock.

#include <cstdint>

namespace ruzd::telephony {

// Line device numbers 0 to 500 have a mark; only 1 to 500 are ever set.
inline constexpr int32_t kRestartMarkCount = 501;

// Marks `ldev` as restarting; numbers outside 1 to 500 are ignored.
void SetRestartMark(int32_t ldev);
// Clears the mark of `ldev` (the restart completed); numbers outside 1 to 500 are ignored.
void ClearRestartMark(int32_t ldev);
// Whether `ldev` is restarting; false for every number outside 1 to 500.
bool IsRestarting(int32_t ldev);

}  // namespace ruzd::telephony
