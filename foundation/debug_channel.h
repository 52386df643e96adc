#pragma once

// The channel of a debug line, printed as two letters after the call id.

#include <cstdint>

namespace ruzd::foundation {

// Stands for "no line number" and "no call id" in the debug log and in Trace.
constexpr int32_t kDebugNone = 2147483647;

enum EDebugChannelType : int {
    kDebugChannelNone = 0,        // "--"
    kDebugChannelGeneral = 1,     // "**"
    kDebugChannelLog = 2,         // "Lo": the log's own lines
    kDebugChannelSocket = 3,      // "So"
    kDebugChannelVoice = 4,       // "Vo"
    kDebugChannelDti = 5,         // "Dt"
    kDebugChannelMsi = 6,         // "Ms"
    kDebugChannelGlobalCall = 7,  // "Gf"
    kDebugChannelAmtelco = 8,     // "Am"
    kDebugChannelAculab = 9,      // "At"
    kDebugChannelIsdn = 10,       // "Is"
    kDebugChannelIntel = 11,      // "In"
    kDebugChannelIp = 12,         // "Ip"
};

// The two letters of a channel; "--" for 0 and for any number outside the table.
const char* DebugChannelCode(int channel);

}  // namespace ruzd::foundation
