#pragma once

// An Aculab IP channel as the media operations of telephony/vmp_contexts.h and
// telephony/vmp_configuration.h find it: its handle in the node manager's IP device table, the
// manager's Aculab channel store and the published facade (null while there is none).
//
// The operations reach the manager in one of two ways: through what it publishes, held for the
// length of the call (the facade and anyone without the manager at hand), or through its tables
// as the manager itself hands them over, for its own commands and shut-down, which run while it
// lives and must not hold a share of it (a share held by the last of them would end the manager
// in the middle of its own work).

#include <cstdint>
#include <memory>
#include <optional>

#include "telephony/aculab_channel_store.h"
#include "telephony/device_handle_lookup.h"
#include "telephony/hardware.h"

namespace ruzd::telephony {

// The manager's tables, handed over by the manager itself.
struct AculabManagerTables {
    AculabChannelStore& channels;
    const DeviceHandleLookup& devices;
};

struct AculabIpChannel {
    AculabChannelStore* manager = nullptr;
    CHardware* hardware = nullptr;
    int32_t handle = -1;
    // The manager, when it was reached through what it publishes.
    std::shared_ptr<AculabChannelStore> held;
};

// None, after "spVesmarin == NULL!" while the manager publishes nothing, or after "Could not
// find IP Device" for a line device its IP table does not hold.
std::optional<AculabIpChannel> FindAculabIpChannel(int32_t ldev);
// The same in the tables the manager handed over.
std::optional<AculabIpChannel> FindAculabIpChannel(const AculabManagerTables& tables, int32_t ldev);

// One line on the "Ip" channel with the line device as its line, formatted printf-style.
void IpChannelTrace(int32_t ldev, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace ruzd::telephony
