#pragma once

// Trace: the program-wide printf-style way to write one plain line to the debug log, naming a
// kind of device and its number. Beside it the trace level, which switches on the most
// detailed traces of the hardware layer (4 or more).

#include <atomic>
#include <cstdint>

namespace ruzd::foundation {

// Which channel a Trace line goes to and how its device number is shown.
enum eTraceKind : int {
    kTraceVoice = 0,       // "Vo" with a device, else "--"
    kTraceDti = 1,         // "Dt"
    kTraceGlobalCall = 2,  // "Gf"
    kTraceMsi = 3,         // "Ms"
    kTraceAmtelco = 4,     // "Am"
    kTraceIp = 6,          // "Ip"
    kTraceSocket = 8,      // "So"
    kTraceCallId = 100,    // "--", the device number shown as the call id
};

// Starts at 2; the application sets it from its debug settings and its "-d" option.
extern std::atomic<int> g_nTraceLevel;

// Writes one plain line at the calling thread's depth; device 0 means no device. Any other
// kind than those above goes to "--" with the device as line number. Returns 0.
int Trace(int kind, int32_t device, const char* format, ...) __attribute__((format(printf, 3, 4)));

}  // namespace ruzd::foundation
