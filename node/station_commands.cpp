// The central server's commands for stations and whole station boards: open and close them,
// ring a station and read its hook, set board and station parameters and event masks, stop a
// station's function or its listening, and find a station board with free conference
// resources. A station is "msiB<board>C<channel>" under the central server's line device
// number; a board is "msiB<board>" under 1000000 plus its number. Boards opened stand in the
// process-wide station-board map that new conferences may be placed by.

#include <cstdint>
#include <functional>
#include <string>

#include "node/command_arguments.h"
#include "node/port_type.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"
#include "telephony/opened_station_boards.h"

namespace ruzd::node {

using foundation::kDebugChannelMsi;
using platform::Format;

namespace {

// A ring is always started asynchronously.
constexpr uint16_t kRingAsync = 0x8000;
// The hook bit of ATMS_TSSGBIT that says the station is off hook.
constexpr int32_t kOffHookBit = 0x10;
// A station board with at least this many free conference resources takes a conference.
constexpr int32_t kFewestFreeStationResources = 4;

}  // namespace

bool CVesmarinManager::FindStation(CommandArguments& args, int32_t ldev, const char* call,
                                   int32_t* handle) {
    if (devices_.Station().Get(ldev, handle)) {
        return true;
    }
    args.TraceLine(std::string(call) + " ldev=UNKNOWN RET=ERROR");
    return false;
}

// The line device and its handle are kept even when the open fails (handle -1); a board is
// offered to conferences only once it opened, cleared of the conferences left on it.
void CVesmarinManager::SocketCmdMSOPEN(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelMsi);
    int32_t ldev = 0;
    int32_t flags = 0;
    int32_t board = 0;
    int32_t channel = 0;
    if (!args.ShownLine(ldev).Int(flags).Int(board).Int(channel).Enter()) {
        return;
    }
    const bool wholeBoard = ldev >= kBoardLineDeviceBase;
    const std::string name = wholeBoard ? Format("msiB%d", ldev - kBoardLineDeviceBase)
                                        : Format("msiB%dC%d", board, channel);
    const int32_t openFlags = wholeBoard ? flags : 0;
    const int32_t handle = hardware_->ms_open(ldev, name.c_str(), openFlags);
    args.TraceLine(Format("ms_open name=%s flags=%d RC=%d", name.c_str(), openFlags, handle));
    devices_.Station().Set(ldev, handle);
    devices_.HandleLdevs().Set(handle, ldev);
    devices_.PortTypes().Set(handle, kPortTypeStation);
    if (handle == -1) {
        return;
    }
    if (!wholeBoard) {
        if (callback_ != nullptr) {
            callback_->OnVesmarinStatus(kPortTypeStation, ldev, "Idle", 0);
        }
        return;
    }
    telephony::StationBoards().Add(ldev, handle);
    const int32_t result = hardware_->ms_DeleteAllConferences(handle, 0, 0);
    args.TraceLine(Format("ms_DeleteAllConferences dev=%d RC=%d", handle, result));
}

// The station table stays locked throughout, so that no other command finds the station while
// it closes. The line device is forgotten whatever the close answers.
void CVesmarinManager::SocketCmdMSCLOS(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelMsi);
    int32_t ldev = 0;
    if (!args.ShownLine(ldev).Enter()) {
        return;
    }
    std::lock_guard lock(devices_.Station().Lock());
    int32_t handle = -1;
    if (!FindStation(args, ldev, "ms_close", &handle)) {
        return;
    }
    const int32_t result = hardware_->ms_close(handle);
    args.TraceLine(Format("ms_close dev=%d RC=%d", handle, result));
    devices_.Station().Erase(ldev);
    devices_.HandleLdevs().Erase(handle);
    devices_.PortTypes().Erase(handle);
    if (ldev >= kBoardLineDeviceBase) {
        telephony::StationBoards().Remove(ldev);
    }
    if (result != -1) {
        ReportClosed(kPortTypeStation, ldev);
    }
}

void CVesmarinManager::RunOnStation(
    net::CClientStreamSocket* command, const char* call,
    const std::function<void(CommandArguments&)>& read,
    const std::function<void(CommandArguments&, int32_t ldev, int32_t handle)>& run,
    const std::function<void(int32_t ldev)>& unknown) {
    CommandArguments args = Arguments(command, kDebugChannelMsi);
    int32_t ldev = 0;
    args.ShownLine(ldev);
    if (read) {
        read(args);
    }
    if (!args.Enter()) {
        return;
    }
    int32_t handle = -1;
    if (!FindStation(args, ldev, call, &handle)) {
        if (unknown) {
            unknown(ldev);
        }
        return;
    }
    run(args, ldev, handle);
}

// A station off hook is not rung: the answer is -1.
void CVesmarinManager::SocketCmdMSGRIN(net::CClientStreamSocket* command) {
    uint16_t length = 0;
    uint16_t second = 0;
    const auto answer = [&](int32_t ldev, int32_t result) {
        messages_.RingResult(*command, ldev, result);
    };
    RunOnStation(
        command, "ms_genring", [&](CommandArguments& args) { args.Word(length).Word(second); },
        [&](CommandArguments& args, int32_t ldev, int32_t handle) {
            const int32_t hook = hardware_->ATMS_TSSGBIT(handle);
            args.TraceLine(Format("ATMS_TSSGBIT dev=%d iRC=%d", handle, hook));
            if ((hook & kOffHookBit) != 0) {
                args.TraceLine(" Station is already offhook!");
                answer(ldev, -1);
                return;
            }
            const int32_t result = hardware_->ms_genring(handle, length, kRingAsync);
            args.TraceLine(Format("ms_genring dev=%d len=%d RC=%d", handle, length, result));
            if (result != 0) {
                args.TraceLine(Format("ms_genring ERROR dev=%d Error=%d ErrorMsg=%s", handle,
                                      hardware_->ATDV_LASTERR(handle),
                                      hardware_->ATDV_ERRMSGP(handle).c_str()));
            }
            answer(ldev, result);
        },
        [&](int32_t ldev) { answer(ldev, -1); });
}

void CVesmarinManager::SocketCmdMSSTFN(net::CClientStreamSocket* command) {
    int32_t function = 0;
    RunOnStation(
        command, "ms_stopfn", [&](CommandArguments& args) { args.NonNegative(function); },
        [&](CommandArguments& args, int32_t, int32_t handle) {
            const int32_t result = hardware_->ms_stopfn(handle, static_cast<uint32_t>(function));
            args.TraceLine(Format("ms_stopfn dev=%d id=%d RC=%d", handle, function, result));
        });
}

void CVesmarinManager::SocketCmdMSSBPM(net::CClientStreamSocket* command) {
    int8_t parameter = 0;
    int32_t value = 0;
    RunOnStation(
        command, "ms_setbrdparm", [&](CommandArguments& args) { args.Char(parameter).Int(value); },
        [&](CommandArguments& args, int32_t ldev, int32_t handle) {
            const auto id = static_cast<uint8_t>(parameter);
            const int32_t result = hardware_->ms_setbrdparm(handle, id, &value);
            args.TraceLine(
                Format("ms_setbrdparm dev=%d param=%d value=%d RC=%d", handle, id, value, result));
            messages_.BoardParameterResult(*command, ldev, result);
        },
        [&](int32_t ldev) { messages_.BoardParameterResult(*command, ldev, -1); });
}

void CVesmarinManager::SocketCmdMSULST(net::CClientStreamSocket* command) {
    RunOnStation(command, "ms_unlisten", {}, [&](CommandArguments& args, int32_t, int32_t handle) {
        const int32_t result = hardware_->ms_unlisten(handle);
        args.TraceLine(Format("ms_unlisten dev=%d RC=%d", handle, result));
    });
}

void CVesmarinManager::SocketCmdMSSEVM(net::CClientStreamSocket* command) {
    int32_t event = 0;
    uint16_t bitmask = 0;
    int32_t action = 0;
    RunOnStation(
        command, "ms_setevtmsk",
        [&](CommandArguments& args) { args.Int(event).Word(bitmask).Int(action); },
        [&](CommandArguments& args, int32_t, int32_t handle) {
            const int32_t result =
                hardware_->ms_setevtmsk(handle, static_cast<uint32_t>(event), bitmask, action);
            args.TraceLine(Format("ms_setevtmsk dev=%d event=%d bitmask=%d action=%d RC=%d", handle,
                                  event, bitmask, action, result));
        });
}

void CVesmarinManager::SocketCmdMSTSSG(net::CClientStreamSocket* command) {
    RunOnStation(
        command, "ATMS_TSSGBIT", {},
        [&](CommandArguments& args, int32_t ldev, int32_t handle) {
            const int32_t bits = hardware_->ATMS_TSSGBIT(handle);
            args.TraceLine(Format("ATMS_TSSGBIT dev=%d iRC=%d", handle, bits));
            messages_.HookState(*command, ldev, bits);
        },
        [&](int32_t ldev) { messages_.HookState(*command, ldev, -1); });
}

void CVesmarinManager::SocketCmdMSSSPM(net::CClientStreamSocket* command) {
    int8_t parameter = 0;
    int32_t value = 0;
    RunOnStation(
        command, "ms_setstparm", [&](CommandArguments& args) { args.Char(parameter).Int(value); },
        [&](CommandArguments& args, int32_t, int32_t handle) {
            const int32_t result =
                hardware_->ms_setstparm(handle, static_cast<uint8_t>(parameter), &value);
            args.TraceLine(Format("ms_setstparm dev=%d iRC=%d", handle, result));
        });
}

// The first station board, in the order of its line device number, with enough free
// conference resources; the answer names it by its line device number.
void CVesmarinManager::SocketCmdMSCFRE(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelMsi);
    int32_t request = 0;
    if (!args.Int(request).Enter()) {
        return;
    }
    int32_t boardLdev = -1;
    for (const int32_t handle : telephony::StationBoards().Handles()) {
        int32_t count = -1;
        if (hardware_->ms_dsprescount(handle, &count) == 0 &&
            count >= kFewestFreeStationResources) {
            devices_.HandleLdevs().Get(handle, &boardLdev);
            args.TraceLine(Format("free conf dev=%d msi board nr =%d", handle,
                                  boardLdev - kBoardLineDeviceBase));
            break;
        }
    }
    messages_.FreeMsiConferenceResources(*command, request, boardLdev);
}

}  // namespace ruzd::node
