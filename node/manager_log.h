#pragma once

// One plain line of the manager in the debug log, on a channel and with the command id as call
// id; nothing happens while no log is started.

#include <cstdint>
#include <string_view>

#include "foundation/debug_channel.h"

namespace ruzd::node {

void ManagerLog(foundation::EDebugChannelType channel, int32_t callId, std::string_view text);

}  // namespace ruzd::node
