#pragma once

// The codes of the central server's session commands, the ones the acceptance of a command
// names. Every other code is known only to the command table.

#include <cstdint>

namespace ruzd::node {

inline constexpr int32_t kCommandCNINIT = 11;
inline constexpr int32_t kCommandCNPING = 12;
inline constexpr int32_t kCommandCNSTGR = 13;
inline constexpr int32_t kCommandCNSTOP = 14;
inline constexpr int32_t kCommandCNSTRT = 15;

// The only commands a connection may send while no connection is active.
inline bool MayOpenConnection(int32_t code) {
    return code == kCommandCNINIT || code == kCommandCNPING || code == kCommandCNSTGR;
}

// A command id of -1 is read as "none".
inline constexpr int32_t kNoCommandId = 0x7FFFFFFF;

}  // namespace ruzd::node
