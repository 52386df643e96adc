#pragma once

// The codes of the central server's commands the node has handlers for: the first value of every
// frame on the command connection that goes from the central server to the node. The codes come
// from node/command_list.inc; the central server sends them by these numbers, so none may change.

#include <cstdint>

namespace ruzd::node {

enum class CommandCode : int32_t {
#define RUZD_COMMAND(code, word, refusal) k##word = code,
#include "node/command_list.inc"
#undef RUZD_COMMAND
};

// The only commands a connection may send while no connection is active.
inline bool MayOpenConnection(int32_t code) {
    const auto command = static_cast<CommandCode>(code);
    return command == CommandCode::kCNINIT || command == CommandCode::kCNPING ||
           command == CommandCode::kCNSTGR;
}

// A command id of -1 is read as "none".
inline constexpr int32_t kNoCommandId = 0x7FFFFFFF;

}  // namespace ruzd::node
