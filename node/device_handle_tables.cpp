#include "node/device_handle_tables.h"

namespace ruzd::node {

DeviceTable& DeviceHandleTables::Of(Family family) {
    return const_cast<DeviceTable&>(static_cast<const DeviceHandleTables*>(this)->Of(family));
}

const DeviceTable& DeviceHandleTables::Of(Family family) const {
    switch (family) {
        case Family::kVoice:
            return voice_;
        case Family::kNetwork:
            return network_;
        case Family::kStation:
            return station_;
        case Family::kIp:
            break;
    }
    return ip_;
}

bool DeviceHandleTables::GetDeviceHandle(int32_t ldev, int32_t device_type, int32_t* handle) const {
    switch (device_type) {
        case telephony::kPortTypeVoice:
            return voice_.Get(ldev, handle);
        case telephony::kPortTypeNetwork:
            return network_.Get(ldev, handle);
        case telephony::kPortTypeStation:
            return station_.Get(ldev, handle);
        case telephony::kPortTypeGlobalCallIp:
        case telephony::kPortTypeIp:
            return ip_.Get(ldev, handle);
        default:
            return false;
    }
}

bool DeviceHandleTables::GetIPDeviceHandle(int32_t ldev, int32_t* handle) const {
    return ip_.Get(ldev, handle);
}

void DeviceHandleTables::ForgetAll() {
    network_.Clear();
    handle_ldevs_.Clear();
    port_types_.Clear();
    voice_.Clear();
    station_.Clear();
    ip_.Clear();
}

}  // namespace ruzd::node
