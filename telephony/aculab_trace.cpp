#include "telephony/aculab_trace.h"

#include <cstdarg>
#include <cstdio>

#include "foundation/trace.h"
#include "platform/thread.h"
#include "telephony/hardware.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {
namespace {

// The detailed trace starts at this level.
constexpr int kDetailLevel = 4;
// The longest argument text written.
constexpr size_t kArgumentTextLength = 510;

}  // namespace

void TraceAculabCall(const char* name, const char* format, ...) {
    if (VendorTraceLevel() < kDetailLevel)
        return;
    char text[kArgumentTextLength + 1];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    VendorTrace(foundation::kTraceDti, 0, "*** ACULAB: tid=0x%03x %s(%s)",
                platform::CurrentThreadId(), name, text);
}

void TraceAculabResult(const char* name, int32_t result, bool always) {
    if (VendorTraceLevel() < kDetailLevel)
        return;
    const uint32_t thread = platform::CurrentThreadId();
    VendorTrace(foundation::kTraceDti, 0, "*** ACULAB: tid=0x%03x    %s() = %d", thread, name,
                result);
    if (result == 0 || (result > 0 && !always))
        return;
    CHardware* hardware = PublishedHardware();
    const char* message = hardware != nullptr ? hardware->error_2_string(result) : nullptr;
    VendorTrace(foundation::kTraceDti, 0, "*** ACULAB: tid=0x%03x    %s() Error = %d Msg = %s",
                thread, name, result, message != nullptr ? message : "");
}

}  // namespace ruzd::telephony
