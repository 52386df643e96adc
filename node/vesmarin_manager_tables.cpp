// The log channel of a device type, the forgetting of the session's tables, the file map and the
// event names.

#include <string>

#include "foundation/debug_channel.h"
#include "foundation/debug_function.h"
#include "node/manager_log.h"
#include "node/port_type.h"
#include "node/vesmarin_manager.h"
#include "platform/win_path.h"
#include "telephony/opened_station_boards.h"

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
    file_map_.Clear();
    devices_.ForgetAll();
    // The station boards go with the station table: none is offered to a new conference.
    telephony::StationBoards().Clear();
    amtelco_.ForgetBoards();
    virtual_files_.ForgetAll();
}

FileMap::Contents CVesmarinManager::ReadFileMap() {
    return FileMap::Read(platform::MapWindowsPath(".\\FILEMAP.TXT"));
}

void CVesmarinManager::LoadFileMap() {
    file_map_.Take(ReadFileMap(), current_command_id_.load());
}

bool CVesmarinManager::FileMapping(std::string& path) {
    return file_map_.Map(path, current_command_id_.load());
}

void CVesmarinManager::ReverseFileMapping(std::string& path) {
    file_map_.Reverse(path);
}

void CVesmarinManager::PopulateISDNEvents() {
    ManagerLog(kDebugChannelGeneral, current_command_id_.load(), "PopulateISDNEvents");
    event_names_.Populate();
}

const std::string& CVesmarinManager::GetISDNEvents(int32_t code) {
    foundation::CDebugFunction trace;
    trace.Enter("GetISDNEvents", foundation::kDebugNone, kDebugChannelNone, foundation::kDebugNone)
        ->Append(code)
        .EndLine();
    const std::string& name = event_names_.Name(code);
    trace.SetResultText(name);
    return name;
}

void CVesmarinManager::OnTimeShiftDetected(int32_t seconds) {
    ManagerLog(kDebugChannelGeneral, current_command_id_.load(),
               "OnTimeShiftDetected " + std::to_string(seconds));
    const int64_t shift = seconds;
    int64_t last = last_command_time_.load();
    while (last != 0 && !last_command_time_.compare_exchange_weak(last, last + shift)) {
    }
    std::lock_guard lock(connection_lock_);
    if (listener_epoch_ != 0) {
        listener_epoch_ += shift;
    }
    if (start_time_ != 0) {
        start_time_ += shift;
    }
}

CVesmarinManager::StoredMoments CVesmarinManager::GetStoredMoments() const {
    std::lock_guard lock(connection_lock_);
    return {last_command_time_.load(), listener_epoch_, start_time_};
}

}  // namespace ruzd::node
