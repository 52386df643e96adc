#include "telephony/aculab_ip_channel.h"

#include <cstdarg>
#include <string>

#include "foundation/trace.h"
#include "platform/text.h"
#include "telephony/device_handle_lookup.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {

std::optional<AculabIpChannel> FindAculabIpChannel(int32_t ldev) {
    std::shared_ptr<AculabChannelStore> manager = PublishedAculabChannels().Lock();
    const std::shared_ptr<DeviceHandleLookup> devices = PublishedDeviceHandles().Lock();
    if (manager == nullptr || devices == nullptr) {
        IpChannelTrace(ldev, "spVesmarin == NULL!");
        return std::nullopt;
    }
    std::optional<AculabIpChannel> channel = FindAculabIpChannel({*manager, *devices}, ldev);
    if (channel) {
        channel->held = std::move(manager);
    }
    return channel;
}

std::optional<AculabIpChannel> FindAculabIpChannel(const AculabManagerTables& tables,
                                                   int32_t ldev) {
    AculabIpChannel channel;
    channel.manager = &tables.channels;
    if (!tables.devices.GetIPDeviceHandle(ldev, &channel.handle)) {
        IpChannelTrace(ldev, "Could not find IP Device");
        return std::nullopt;
    }
    channel.hardware = PublishedHardware();
    return channel;
}

void IpChannelTrace(int32_t ldev, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = platform::FormatV(format, args);
    va_end(args);
    VendorTrace(foundation::kTraceIp, ldev, "%s", text.c_str());
}

}  // namespace ruzd::telephony
