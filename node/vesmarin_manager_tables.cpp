// The log channel of a device type, the forgetting of the session's tables, the file map and the
// event names.

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
