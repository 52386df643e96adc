// The manager's device and resource tables: what the commands, the workers and the hardware
// layer look up by line device number or vendor handle, the file map and the event names.

#include <string>

#include "foundation/debug_channel.h"
#include "foundation/debug_function.h"
#include "foundation/node_services.h"
#include "node/manager_log.h"
#include "node/vesmarin_manager.h"
#include "platform/win_path.h"

namespace ruzd::node {

using foundation::kDebugChannelGeneral;
using foundation::kDebugChannelNone;
using Family = DeviceHandleTables::Family;

bool CVesmarinManager::GetNetworkDeviceHandle(int32_t ldev, int32_t* handle) {
    return devices_.Get(Family::kNetwork, ldev, handle);
}
void CVesmarinManager::AddNetworkDevice(int32_t ldev, int32_t handle) {
    devices_.Add(Family::kNetwork, ldev, handle);
}
void CVesmarinManager::RemoveNetworkDevice(int32_t ldev) {
    devices_.Remove(Family::kNetwork, ldev);
}

bool CVesmarinManager::GetVoiceDeviceHandle(int32_t ldev, int32_t* handle) {
    return devices_.Get(Family::kVoice, ldev, handle);
}
void CVesmarinManager::AddVoiceDevice(int32_t ldev, int32_t handle) {
    devices_.Add(Family::kVoice, ldev, handle);
}
void CVesmarinManager::RemoveVoiceDevice(int32_t ldev) {
    devices_.Remove(Family::kVoice, ldev);
}

bool CVesmarinManager::GetStationDeviceHandle(int32_t ldev, int32_t* handle) {
    return devices_.Get(Family::kStation, ldev, handle);
}
void CVesmarinManager::AddStationDevice(int32_t ldev, int32_t handle) {
    devices_.Add(Family::kStation, ldev, handle);
}
void CVesmarinManager::RemoveStationDevice(int32_t ldev) {
    devices_.Remove(Family::kStation, ldev);
}

void CVesmarinManager::AddIPDevice(int32_t ldev, int32_t handle) {
    devices_.Add(Family::kIp, ldev, handle);
}
void CVesmarinManager::RemoveIPDevice(int32_t ldev) {
    devices_.Remove(Family::kIp, ldev);
}

bool CVesmarinManager::GetDeviceHandle(int32_t ldev, int32_t type, int32_t* handle) {
    return devices_.GetDeviceHandle(ldev, type, handle);
}

bool CVesmarinManager::GetDevicePortType(int32_t handle, int32_t* type) {
    return devices_.GetDevicePortType(handle, type);
}
void CVesmarinManager::SetDevicePortType(int32_t handle, int32_t type) {
    devices_.SetDevicePortType(handle, type);
}

bool CVesmarinManager::GetHandleLdev(int32_t handle, int32_t* ldev) {
    return devices_.GetHandleLdev(handle, ldev);
}
void CVesmarinManager::AddHandleLdev(int32_t handle, int32_t ldev) {
    devices_.AddHandleLdev(handle, ldev);
}
void CVesmarinManager::RemoveHandleLdev(int32_t handle) {
    devices_.RemoveHandleLdev(handle);
}

int CVesmarinManager::PortTypeToLogChannel(int32_t type) {
    switch (type) {
        case foundation::kNodeDeviceVoice:
            return foundation::kDebugChannelVoice;
        case foundation::kNodeDeviceNetworkLine:
            return foundation::kDebugChannelDti;
        case foundation::kNodeDeviceStation:
            return foundation::kDebugChannelMsi;
        case foundation::kNodeDeviceIp:
        case foundation::kNodeDeviceIpBoard:
            return foundation::kDebugChannelIp;
        default:
            return foundation::kDebugChannelNone;
    }
}

bool CVesmarinManager::GetDigitBuffer(int32_t ldev, DV_DIGIT** buffer) {
    return digitBuffers_.Get(ldev, buffer);
}
DV_DIGIT* CVesmarinManager::GetOrCreateDigitBuffer(int32_t ldev) {
    return digitBuffers_.GetOrCreate(ldev);
}
void CVesmarinManager::FreeAllDigitBuffers() {
    digitBuffers_.FreeAll();
}

void CVesmarinManager::SetLastVoiceFunction(int32_t ldev, int32_t code) {
    lastVoiceFunctions_.Set(ldev, code);
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

bool CVesmarinManager::GetAmtelcoBoardHandle(int32_t board, int32_t* cable) {
    return amtelco_.GetAmtelcoBoardHandle(board, cable);
}
void CVesmarinManager::AddAmtelcoBoard(int32_t board, int32_t cable) {
    amtelco_.AddAmtelcoBoard(board, cable);
}
int32_t CVesmarinManager::GetAmtelcoBusTimeslot(int32_t tx, int32_t cable) {
    return amtelco_.GetAmtelcoBusTimeslot(tx, cable);
}

int32_t CVesmarinManager::AllocateAculabHandle(int32_t card, int32_t portId, int32_t timeslot) {
    return aculab_.AllocateAculabHandle(card, portId, timeslot);
}
void CVesmarinManager::ReleaseAculabHandle(int32_t handle) {
    aculab_.ReleaseAculabHandle(handle);
}
int32_t CVesmarinManager::GetAculabPortId(int32_t handle) {
    return aculab_.GetAculabPortId(handle);
}
int32_t CVesmarinManager::GetAculabTimeslot(int32_t handle) {
    return aculab_.GetAculabTimeslot(handle);
}
std::string CVesmarinManager::GetAculabCardSerial(int32_t handle) {
    return aculab_.GetAculabCardSerial(handle);
}
void CVesmarinManager::SetAculabCallHandle(int32_t handle, uint8_t direction, int32_t callHandle) {
    aculab_.SetAculabCallHandle(handle, direction, callHandle);
}
bool CVesmarinManager::GetAculabCallHandle(int32_t handle, uint8_t direction, int32_t* callHandle) {
    return aculab_.GetAculabCallHandle(handle, direction, callHandle);
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
