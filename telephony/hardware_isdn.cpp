#include "telephony/hardware_isdn.h"

#include "platform/text.h"
#include "telephony/invalid_parameter_hook.h"
#include "telephony/restart_marks.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {
namespace {

#ifdef NDEBUG
constexpr const char* kBuildKind = "release";
#else
constexpr const char* kBuildKind = "debug";
#endif

}  // namespace

CHardwareISDN::CHardwareISDN(uint32_t creator_thread_id)
    : CHardwareISDN(creator_thread_id, AculabPath::kSwitchedOff, false) {}

CHardwareISDN::CHardwareISDN(uint32_t creator_thread_id, AculabPath aculab)
    : CHardwareISDN(creator_thread_id, aculab, false) {}

CHardwareISDN::CHardwareISDN(uint32_t creator_thread_id, AculabPath aculab, bool global_call_only)
    : CHardware(creator_thread_id, global_call_only, aculab) {
    VendorTrace(0, 0, "Built against the C++ library of GCC %s (libstdc++ %d), %s build",
                __VERSION__, static_cast<int>(__GLIBCXX__), kBuildKind);
    InstallInvalidParameterHandler();
}

bool CHardwareISDN::RefusedWhileRestarting(int32_t ldev, const char* operation) {
    if (!IsRestarting(ldev))
        return false;
    VendorTrace(1, ldev, "*** %s ignored during cc_restart", operation);
    return true;
}

bool CHardwareISDN::RefusedWithoutGlobalCall(int kind, int32_t device) const {
    if (IsGlobalCallInitialised())
        return false;
    VendorTrace(kind, device, "GLOBALCALL NOT initialised");
    return true;
}

int32_t CHardwareISDN::FunctionNotLoaded(const char* qualified_name) {
    VendorTrace(0, 0, "Function %s not loaded.", qualified_name);
    return -1;
}

}  // namespace ruzd::telephony
