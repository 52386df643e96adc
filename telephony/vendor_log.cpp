#include "telephony/vendor_log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <utility>

#include "platform/text.h"

namespace ruzd::telephony {
namespace {

std::atomic<int> g_trace_level{2};

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
    std::lock_guard<std::mutex> lock(ObserverMutex());
    if (Observer())
        Observer()(kind, device, text);
    return 0;
}

int VendorTraceLevel() {
    return g_trace_level.load();
}

void SetVendorTraceLevel(int level) {
    g_trace_level.store(level);
}

void SetVendorLogObserver(VendorLogObserver observer) {
    std::lock_guard<std::mutex> lock(ObserverMutex());
    Observer() = std::move(observer);
}

}  // namespace ruzd::telephony
