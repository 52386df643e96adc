#pragma once

// An Aculab IP channel as the media operations of telephony/vmp_contexts.h and
// telephony/vmp_configuration.h find it: its handle in the node manager's IP device table, the
// manager's Aculab channel store (which keeps the whole manager alive while it is held) and the
// published facade (null while there is none).

#include <cstdint>
#include <memory>
#include <optional>

#include "telephony/aculab_channel_store.h"
#include "telephony/hardware.h"

namespace ruzd::telephony {

struct AculabIpChannel {
    std::shared_ptr<AculabChannelStore> manager;
    CHardware* hardware = nullptr;
    int32_t handle = -1;
};

// None, after "spVesmarin == NULL!" while the manager publishes nothing, or after "Could not
// find IP Device" for a line device its IP table does not hold.
std::optional<AculabIpChannel> FindAculabIpChannel(int32_t ldev);

// One line on the "Ip" channel with the line device as its line, formatted printf-style.
void IpChannelTrace(int32_t ldev, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace ruzd::telephony
