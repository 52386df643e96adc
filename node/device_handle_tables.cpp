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
    TableOf(family).Set(ldev, handle);
}

void DeviceHandleTables::Remove(Family family, int32_t ldev) {
    TableOf(family).Erase(ldev);
}

bool DeviceHandleTables::Get(Family family, int32_t ldev, int32_t* handle) const {
    return TableOf(family).Get(ldev, handle, -1);
}

bool DeviceHandleTables::GetDeviceHandle(int32_t ldev, int32_t deviceType, int32_t* handle) const {
    Family family;
    if (!FamilyOfType(deviceType, &family)) {
        return false;
    }
    return Get(family, ldev, handle);
}

bool DeviceHandleTables::GetDevicePortType(int32_t handle, int32_t* type) const {
    return portTypes_.Get(handle, type, -1);
}

void DeviceHandleTables::SetDevicePortType(int32_t handle, int32_t type) {
    portTypes_.Set(handle, type);
}

void DeviceHandleTables::RemoveDevicePortType(int32_t handle) {
    portTypes_.Erase(handle);
}

bool DeviceHandleTables::GetHandleLdev(int32_t handle, int32_t* ldev) const {
    return handleLdevs_.Get(handle, ldev, -1);
}

void DeviceHandleTables::AddHandleLdev(int32_t handle, int32_t ldev) {
    handleLdevs_.Set(handle, ldev);
}

void DeviceHandleTables::RemoveHandleLdev(int32_t handle) {
    handleLdevs_.Erase(handle);
}

void DeviceHandleTables::ForgetAll() {
    network_.Clear();
    handleLdevs_.Clear();
    portTypes_.Clear();
    voice_.Clear();
    station_.Clear();
    ip_.Clear();
}

}  // namespace ruzd::node
