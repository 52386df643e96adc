#pragma once

// Two devices routed onto each other over the TDM bus: in half duplex the second hears the
// first, in full duplex each hears the other. The facade offers route and unroute as its
// nr_scroute and nr_scunroute; SCRouting1 and SCUnrouting run them under the application's
// routing lock and log the result for the channels they name.

#include <cstdint>

namespace ruzd::telephony {

// Mode 1 of the routing operations; any other value is full duplex.
inline constexpr uint8_t kHalfDuplex = 1;
inline constexpr uint8_t kFullDuplex = 0;

// A channel the routing utilities name in their log line: its kind (0 to 9, see
// ChannelKindName) and its number.
struct RoutingChannel {
    int32_t kind = 0;
    int32_t number = 0;
};

// 0, or -1 when a slot could not be had or a listen did not succeed (earlier listens stay).
int32_t Route(int32_t device1, int32_t type1, int32_t device2, int32_t type2, uint8_t mode);
// Stops device2 listening and, in full duplex, device1: the first unlisten's result when it
// is not 0, else the second's.
int32_t Unroute(int32_t device1, int32_t type1, int32_t device2, int32_t type2, uint8_t mode);

// The facade's nr_scroute under the routing lock. A Global Call IP device routed in full
// duplex is first unrouted from itself. Logs "SCRouting1 Done ..." when both channels are given.
int32_t SCRouting1(int32_t device1, int32_t type1, int32_t device2, int32_t type2, uint8_t mode,
                   const RoutingChannel* channel1, const RoutingChannel* channel2);
// The facade's nr_scunroute under the routing lock; a device unrouted from itself is unrouted
// once (half duplex). Logs "SCUnrouting Done ..." when both channels are given.
int32_t SCUnrouting(int32_t device1, int32_t type1, int32_t device2, int32_t type2, uint8_t mode,
                    const RoutingChannel* channel1, const RoutingChannel* channel2);

}  // namespace ruzd::telephony
