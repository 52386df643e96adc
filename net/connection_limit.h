#pragma once

// How many connections one listener holds at once. A peer that opens connections without end
// must not use up the node's descriptors and memory; a connection beyond the limit is accepted
// and closed at once.

#include <cstdint>

namespace ruzd::net {

constexpr uint32_t kDefaultMaxConnections = 32;

// The registry's "Max Connections" of the node's section; the default when missing or 0.
uint32_t ReadMaxConnections();

}  // namespace ruzd::net
