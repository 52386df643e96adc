#pragma once

// The one door through which the vendor binding writes its log lines and reads the trace
// level: lines go to the debug log through Trace (kind, device number, text), and a watcher
// may see them as well.

#include <cstdint>
#include <functional>
#include <string>

namespace ruzd::telephony {

// Formats one line printf-style and writes it through Trace with the kind and device number.
// Returns 0.
int VendorTrace(int kind, int32_t device, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// The program's trace level (Trace's); 4 or more switches on the detailed vendor traces.
int VendorTraceLevel();

// Every line written from now on is also handed to the observer; an empty one stops that.
using VendorLogObserver = std::function<void(int kind, int32_t device, const std::string& text)>;
void SetVendorLogObserver(VendorLogObserver observer);

}  // namespace ruzd::telephony
