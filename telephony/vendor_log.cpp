#include "telephony/vendor_log.h"

#include <cstdarg>
#include <mutex>
#include <utility>

#include "foundation/trace.h"
#include "platform/text.h"

namespace ruzd::telephony {
namespace {

std::mutex& ObserverMutex() {
    static std::mutex mutex;
    return mutex;
}

VendorLogObserver& Observer() {
    static VendorLogObserver observer;
    return observer;
}

}  // namespace

int VendorTrace(int kind, int32_t device, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = platform::FormatV(format, args);
    va_end(args);
    foundation::Trace(kind, device, "%s", text.c_str());
    std::lock_guard<std::mutex> lock(ObserverMutex());
    if (Observer())
        Observer()(kind, device, text);
    return 0;
}

int VendorTraceLevel() {
    return foundation::g_nTraceLevel.load();
}

void SetVendorLogObserver(VendorLogObserver observer) {
    std::lock_guard<std::mutex> lock(ObserverMutex());
    Observer() = std::move(observer);
}

}  // namespace ruzd::telephony
