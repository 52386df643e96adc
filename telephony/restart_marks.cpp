#include "telephony/restart_marks.h"

#include <array>
#include <atomic>

namespace ruzd::telephony {
namespace {

// Zero-initialised static storage: every device starts not restarting.
std::array<std::atomic<int32_t>, kRestartMarkCount> g_restart_marks;

bool IsMarkable(int32_t ldev) {
    return ldev >= 1 && ldev < kRestartMarkCount;
}

}  // namespace

void SetRestartMark(int32_t ldev) {
    if (IsMarkable(ldev))
        g_restart_marks[ldev].store(1);
}

void ClearRestartMark(int32_t ldev) {
    if (IsMarkable(ldev))
        g_restart_marks[ldev].store(0);
}

bool IsRestarting(int32_t ldev) {
    return IsMarkable(ldev) && g_restart_marks[ldev].load() != 0;
}

}  // namespace ruzd::telephony
