// The manager's device and resource tables as the command handlers and the event forwarding
// reach them, the file map and the event names.

#include <string>

#include "foundation/debug_channel.h"
#include "foundation/debug_function.h"
#include "node/manager_log.h"
#include "node/port_type.h"
#include "node/vesmarin_manager.h"
#include "platform/win_path.h"

namespace ruzd::node {

using foundation::kDebugChannelGeneral;
using foundation::kDebugChannelNone;

bool CVesmarinManager::GetNetworkDeviceHandle(int32_t ldev, int32_t* handle) {
    return devices_.Network().Get(ldev, handle);
}
void CVesmarinManager::AddNetworkDevice(int32_t ldev, int32_t handle) {
    devices_.Network().Set(ldev, handle);
}
void CVesmarinManager::RemoveNetworkDevice(int32_t ldev) {
    devices_.Network().Erase(ldev);
}

bool CVesmarinManager::GetVoiceDeviceHandle(int32_t ldev, int32_t* handle) {
    return devices_.Voice().Get(ldev, handle);
}
void CVesmarinManager::AddVoiceDevice(int32_t ldev, int32_t handle) {
    devices_.Voice().Set(ldev, handle);
}
void CVesmarinManager::RemoveVoiceDevice(int32_t ldev) {
    devices_.Voice().Erase(ldev);
}

void CVesmarinManager::AddIPDevice(int32_t ldev, int32_t handle) {
    devices_.Ip().Set(ldev, handle);
}

bool CVesmarinManager::GetDevicePortType(int32_t handle, int32_t* type) {
    return devices_.PortTypes().Get(handle, type);
}
void CVesmarinManager::SetDevicePortType(int32_t handle, int32_t type) {
    devices_.PortTypes().Set(handle, type);
}

bool CVesmarinManager::GetHandleLdev(int32_t handle, int32_t* ldev) {
    return devices_.HandleLdevs().Get(handle, ldev);
}
void CVesmarinManager::AddHandleLdev(int32_t handle, int32_t ldev) {
    devices_.HandleLdevs().Set(handle, ldev);
}
void CVesmarinManager::RemoveHandleLdev(int32_t handle) {
    devices_.HandleLdevs().Erase(handle);
}

int CVesmarinManager::PortTypeToLogChannel(int32_t type) {
    switch (type) {
        case kPortTypeVoice:
            return foundation::kDebugChannelVoice;
        case kPortTypeNetwork:
            return foundation::kDebugChannelDti;
        case kPortTypeStation:
            return foundation::kDebugChannelMsi;
        case kPortTypeGlobalCallIp:
        case kPortTypeIp:
            return foundation::kDebugChannelIp;
        default:
            return foundation::kDebugChannelNone;
    }
}

DV_DIGIT* CVesmarinManager::GetOrCreateDigitBuffer(int32_t ldev) {
    return digitBuffers_.GetOrCreate(ldev);
}

int32_t CVesmarinManager::GetLastVoiceFunction(int32_t ldev) const {
    return lastVoiceFunctions_.Find(ldev).value_or(-1);
}

bool CVesmarinManager::GetCallRef(int32_t ldev, int32_t type, CRN* crn) {
    return callRefs_.GetCallRef(ldev, type, crn);
}
void CVesmarinManager::SetCallRef(int32_t ldev, int32_t type, CRN crn, bool valid) {
    callRefs_.SetCallRef(ldev, type, crn, valid);
}
CRN* CVesmarinManager::GetCallRefSlot(int32_t ldev, int32_t type) {
    return callRefs_.GetCallRefSlot(ldev, type);
}

void CVesmarinManager::ForgetDeviceTables() {
    fileMap_.Clear();
    devices_.ForgetAll();
    amtelco_.ForgetBoards();
    virtualFiles_.ForgetAll();
}

void CVesmarinManager::LoadFileMap() {
    fileMap_.Load(platform::MapWindowsPath(".\\FILEMAP.TXT"), currentCommandId_.load());
}

bool CVesmarinManager::FileMapping(std::string& path) {
    return fileMap_.Map(path, currentCommandId_.load());
}

void CVesmarinManager::ReverseFileMapping(std::string& path) {
    fileMap_.Reverse(path);
}

void CVesmarinManager::PopulateISDNEvents() {
    ManagerLog(kDebugChannelGeneral, currentCommandId_.load(), "PopulateISDNEvents");
    eventNames_.Populate();
}

const std::string& CVesmarinManager::GetISDNEvents(int32_t code) {
    foundation::CDebugFunction trace;
    trace.Enter("GetISDNEvents", foundation::kDebugNone, kDebugChannelNone, foundation::kDebugNone)
        ->Append(code)
        .EndLine();
    const std::string& name = eventNames_.Name(code);
    trace.SetResultText(name);
    return name;
}

void CVesmarinManager::OnTimeShiftDetected(int32_t seconds) {
    ManagerLog(kDebugChannelGeneral, currentCommandId_.load(),
               "OnTimeShiftDetected " + std::to_string(seconds));
    const int64_t shift = seconds;
    int64_t last = lastCommandTime_.load();
    while (last != 0 && !lastCommandTime_.compare_exchange_weak(last, last + shift)) {
    }
    std::lock_guard lock(connectionLock_);
    if (listenerEpoch_ != 0) {
        listenerEpoch_ += shift;
    }
    if (startTime_ != 0) {
        startTime_ += shift;
    }
}

CVesmarinManager::StoredMoments CVesmarinManager::GetStoredMoments() const {
    std::lock_guard lock(connectionLock_);
    return {lastCommandTime_.load(), listenerEpoch_, startTime_};
}

}  // namespace ruzd::node
