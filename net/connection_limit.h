#pragma once

// How many connections one listener holds at once. A peer that opens connections without end
// must not use up the node's descriptors and memory; a connection beyond the limit is accepted
// and closed at once.

#include <cstddef>
#include <cstdint>

namespace ruzd::net {

constexpr uint32_t kDefaultMaxConnections = 32;

// The registry's "Max Connections" of the node's section; the default when missing or 0.
uint32_t ReadMaxConnections();

// The bytes that the connections other than the active central server's may hold in total,
// received or waiting to be sent (see BufferBudget). The central server's commands and the
// node's events are small; what an idle or a second peer legitimately holds is far below this.
constexpr uint32_t kDefaultOtherConnectionsBufferKB = 4096;

// The registry's "Other Connections Buffer KB" of the node's section in bytes; the default
// when missing or 0.
size_t ReadOtherConnectionsBufferLimit();

}  // namespace ruzd::net
