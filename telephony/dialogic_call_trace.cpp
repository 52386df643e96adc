#include "telephony/dialogic_call_trace.h"

#include <cstdarg>

#include "platform/text.h"
#include "platform/thread.h"
#include "telephony/device_handle_lookup.h"
#include "telephony/hardware.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {
namespace {

constexpr int kDetailedTraceLevel = 4;
constexpr size_t kTextLimit = 511;

bool Detailed() {
    return VendorTraceLevel() >= kDetailedTraceLevel;
}

unsigned ThreadId() {
    return platform::CurrentThreadId();
}

std::string Limited(const char* format, va_list args) {
    std::string text = platform::FormatV(format, args);
    if (text.size() > kTextLimit)
        text.resize(kTextLimit);
    return text;
}

}  // namespace

CDialogicCallTrace::CDialogicCallTrace(const char* name, int32_t ldev, int32_t device_type,
                                       const int32_t* result, bool force_error, const char* format,
                                       ...)
    : name_(name != nullptr ? name : ""),
      ldev_(ldev),
      device_type_(device_type),
      result_(result),
      force_error_(force_error) {
    if (!Detailed())
        return;
    va_list args;
    va_start(args, format);
    text_ = Limited(format, args);
    va_end(args);
    VendorTrace(1, ldev_, "*** DIALOGIC: tid=0x%03x %s(%s)", ThreadId(), name_.c_str(),
                text_.c_str());
}

void CDialogicCallTrace::SetResultText(const char* format, ...) {
    if (!Detailed())
        return;
    va_list args;
    va_start(args, format);
    text_ = Limited(format, args);
    va_end(args);
}

CDialogicCallTrace::~CDialogicCallTrace() {
    if (!Detailed())
        return;
    const int32_t result = result_ != nullptr ? *result_ : 0;
    VendorTrace(1, ldev_, "*** DIALOGIC: tid=0x%03x    %s() = %d %s", ThreadId(), name_.c_str(),
                result, text_.c_str());
    if (result == 0 || (result > 0 && !force_error_))
        return;
    // A device the node's tables do not hold reads as handle 0.
    int32_t handle = 0;
    if (std::shared_ptr<DeviceHandleLookup> devices = PublishedDeviceHandles().Lock()) {
        if (!devices->GetDeviceHandle(ldev_, device_type_, &handle))
            handle = 0;
    }
    // Without a published facade there is nobody to ask: the error reads as none.
    CHardware* hardware = PublishedHardware();
    const int32_t last_error = hardware != nullptr ? hardware->ATDV_LASTERR(handle) : 0;
    const std::string message = hardware != nullptr ? hardware->ATDV_ERRMSGP(handle) : "";
    VendorTrace(1, ldev_, "*** DIALOGIC: tid=0x%03x    %s() = %d Error = %d Msg = %s", ThreadId(),
                name_.c_str(), result, last_error, message.c_str());
}

void TraceDialogicCall(const char* name) {
    if (!Detailed())
        return;
    VendorTrace(1, 0, "*** DIALOGIC: tid=0x%03x %s()", ThreadId(), name);
}

void TraceDialogicResult(CHardware& hardware, const char* name, int32_t result) {
    if (!Detailed())
        return;
    VendorTrace(1, 0, "*** DIALOGIC: tid=0x%03x    %s() = %d", ThreadId(), name, result);
    if (result == 0)
        return;
    int32_t gc_error = 0;
    int32_t cclib_id = 0;
    int32_t cclib_error = 0;
    hardware.gc_ErrorValue(&gc_error, &cclib_id, &cclib_error);
    char* message = nullptr;
    hardware.gc_ResultMsg(0, gc_error, &message);
    VendorTrace(1, 0, "*** DIALOGIC: tid=0x%03x    %s() Error = %d Msg = %s", ThreadId(), name,
                gc_error, message != nullptr ? platform::Cp1252ToUtf8(message).c_str() : "");
}

}  // namespace ruzd::telephony
