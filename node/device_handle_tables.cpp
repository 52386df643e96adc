#include "node/device_handle_tables.h"

#include "foundation/node_services.h"

namespace ruzd::node {

bool DeviceHandleTables::FamilyOfType(int32_t deviceType, Family* family) {
    switch (deviceType) {
        case foundation::kNodeDeviceVoice:
            *family = Family::kVoice;
            return true;
        case foundation::kNodeDeviceNetworkLine:
            *family = Family::kNetwork;
            return true;
        case foundation::kNodeDeviceStation:
            *family = Family::kStation;
            return true;
        case foundation::kNodeDeviceIp:
        case foundation::kNodeDeviceIpBoard:
            *family = Family::kIp;
            return true;
        default:
            return false;
    }
}

DeviceHandleTables::Table& DeviceHandleTables::TableOf(Family family) {
    return const_cast<Table&>(static_cast<const DeviceHandleTables*>(this)->TableOf(family));
}

const DeviceHandleTables::Table& DeviceHandleTables::TableOf(Family family) const {
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

void DeviceHandleTables::Add(Family family, int32_t ldev, int32_t handle) {
    Table& table = TableOf(family);
    std::lock_guard hold(table.lock);
    table.handles[ldev] = handle;
}

void DeviceHandleTables::Remove(Family family, int32_t ldev) {
    Table& table = TableOf(family);
    std::lock_guard hold(table.lock);
    table.handles.erase(ldev);
}

bool DeviceHandleTables::Get(Family family, int32_t ldev, int32_t* handle) const {
    const Table& table = TableOf(family);
    std::lock_guard hold(table.lock);
    const auto it = table.handles.find(ldev);
    const bool found = it != table.handles.end();
    if (handle != nullptr) {
        *handle = found ? it->second : -1;
    }
    return found;
}

bool DeviceHandleTables::GetDeviceHandle(int32_t ldev, int32_t deviceType, int32_t* handle) const {
    Family family;
    if (!FamilyOfType(deviceType, &family)) {
        return false;
    }
    return Get(family, ldev, handle);
}

}  // namespace ruzd::node
