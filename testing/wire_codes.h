#pragma once

// The command and message codes as numbers, as a central server sends and reads them.

#include <cstdint>

#include "node/central_message_code.h"
#include "node/command_codes.h"

namespace ruzd::testing {

constexpr int32_t Code(node::CommandCode code) {
    return static_cast<int32_t>(code);
}
constexpr int32_t Code(node::CentralMessageCode code) {
    return static_cast<int32_t>(code);
}

}  // namespace ruzd::testing
