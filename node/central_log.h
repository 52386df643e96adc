#pragma once

// The debug-log line of the messages to the central server: one plain line on the general
// channel, the channel number shown as the call id.

#include <cstdint>
#include <string_view>

namespace ruzd::node {

void LogCentralLine(int32_t callId, std::string_view text);

}  // namespace ruzd::node
