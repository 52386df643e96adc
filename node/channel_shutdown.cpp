// The shut-down of every channel the central server left open: when its connection ends and
// when the manager goes. The workers are stopped first, so that nothing opens or uses a device
// while the tables are walked; each table is walked and emptied under its own lock.

#include <string>
#include <vector>

#include "foundation/debug_channel.h"
#include "node/manager_log.h"
#include "node/port_type.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"
#include "telephony/aculab_cards.h"
#include "telephony/dcb_resources.h"
#include "telephony/intel_boards.h"
#include "telephony/opened_station_boards.h"
#include "telephony/rtp_channel_streams.h"
#include "telephony/sized_record.h"
#include "telephony/tdm_time_slots.h"

namespace ruzd::node {

using foundation::kDebugChannelGeneral;
using foundation::kDebugNone;

namespace {

constexpr int32_t kNormalClearing = 16;
constexpr uint32_t kAsyncMode = 0x8000;
constexpr const char* kClosed = "Closed";

}  // namespace

void CVesmarinManager::SafeCloseAllChannels() {
    ManagerLog(kDebugChannelGeneral, kDebugNone, "SafeCloseAllChannels");
    StopAllThreads();
    // No audio comes from a channel once its stream is stopped, so the channels close quietly.
    telephony::RTPStreamStopAll();
    if (!hardware_) {
        return;
    }
    CloseDevicesOf(devices_.Voice(), kPortTypeVoice, foundation::kDebugChannelVoice, "dx_close",
                   &telephony::CHardware::dx_close);
    CloseVirtualFiles();
    telephony::RTPStreamRemoveAll();
    CloseCallDevices(devices_.Network(), kPortTypeNetwork);
    CloseDevicesOf(devices_.Station(), kPortTypeStation, foundation::kDebugChannelMsi, "ms_close",
                   &telephony::CHardware::ms_close);
    // No closed station board may be offered to a new conference.
    telephony::StationBoards().Clear();
    if (hardware_->HasIntelIPBoards(0)) {
        CloseCallDevices(devices_.Ip(), kPortTypeGlobalCallIp);
    }
    telephony::CloseAllDCBResources();
    digit_buffers_.FreeAll();
    transfer_buffers_.FreeAll();
    CloseAculabChannels();
    devices_.Ip().Clear();
    if (IsRelayDigitThreadRunning()) {
        EndRelayDigitThread();
    }
    telephony::CloseAllAculabCards();
    telephony::FreeBusResources();
    telephony::IntelBoards().Close();
}

bool CVesmarinManager::HasAnythingToShutDown() {
    for (const Worker worker : {Worker::kISDN, Worker::kAmtelco, Worker::kAculab,
                                Worker::kRelayDigit, Worker::kFileHandling}) {
        if (IsWorkerRunning(worker)) {
            return true;
        }
    }
    for (const DeviceTable* devices :
         {&devices_.Voice(), &devices_.Network(), &devices_.Station(), &devices_.Ip()}) {
        if (devices->Size() != 0) {
            return true;
        }
    }
    // Outside Global-Call-only mode the DSP list answers whether it holds a DSP.
    if (hardware_ && !hardware_->IsGlobalCallOnlyMode() && telephony::AreDCBResourcesOpen()) {
        return true;
    }
    const telephony::CIntelBoards& boards = telephony::IntelBoards();
    return !VirtualFiles().OpenFileNamesUpper().empty() || digit_buffers_.Size() != 0 ||
           transfer_buffers_.Size() != 0 ||
           boards.GetBoardCount(telephony::CIntelBoard::kIPT) != 0 ||
           boards.GetBoardCount(telephony::CIntelBoard::kIPM) != 0 ||
           telephony::AculabCards().Size() != 0;
}

void CVesmarinManager::ReportClosed(int32_t portType, int32_t ldev) {
    if (callback_ != nullptr) {
        callback_->OnVesmarinStatus(portType, ldev, kClosed, 0);
    }
}

// Closes every device of a family that knows no calls, reporting each as closed.
void CVesmarinManager::CloseDevicesOf(DeviceTable& devices, int32_t portType,
                                      foundation::EDebugChannelType channel, const char* closeName,
                                      int32_t (telephony::CHardware::*close)(int32_t)) {
    std::lock_guard lock(devices.Lock());
    devices.ForEach([&](int32_t ldev, int32_t handle) {
        const int32_t result = (hardware_.get()->*close)(handle);
        ManagerLog(
            channel, kDebugNone,
            platform::Format("%s ldev=%d handle=%d RET=%d", closeName, ldev, handle, result));
        ReportClosed(portType, ldev);
    });
    devices.Clear();
}

// Every voice and record file still open, whatever its virtual handle: a file left open stays
// locked in the cache and its handle is lost, and a record file's buffered bytes are written
// out by its close.
void CVesmarinManager::CloseVirtualFiles() {
    VirtualFileTables& files = VirtualFiles();
    std::lock_guard lock(files.Lock());
    for (const auto& [virtualHandle, file] : files.TakeAllRecordFiles()) {
        const int32_t result = hardware_->rec_fileclose(file.handle, 0);
        ManagerLog(foundation::kDebugChannelVoice, kDebugNone,
                   platform::Format("rec_fileclose %d) RC=%d", file.handle, result));
    }
    for (const auto& [virtualHandle, file] : files.TakeAllVoiceFiles()) {
        const int32_t result = hardware_->dx_fileclose(file.handle, 0);
        ManagerLog(foundation::kDebugChannelVoice, kDebugNone,
                   platform::Format("dx_fileclose %d) RC=%d", file.handle, result));
    }
}

// Network lines and Global Call IP channels: a call still up is dropped and released, then the
// line device is closed, through Global Call when it runs, else through ISDN call control.
void CVesmarinManager::CloseCallDevices(DeviceTable& devices, int32_t portType) {
    const bool globalCall = hardware_->IsGlobalCallInitialised();
    const auto channel = static_cast<foundation::EDebugChannelType>(PortTypeToLogChannel(portType));
    std::lock_guard lock(devices.Lock());
    std::vector<int32_t> closed;
    devices.ForEach([&](int32_t ldev, int32_t handle) {
        // The IP boards stand in the IP table too; they belong to the board list, which closes
        // them itself. The Aculab devices are closed by the Aculab step.
        if (ldev >= kBoardLineDeviceBase || IsAculabDevice(handle)) {
            return;
        }
        closed.push_back(ldev);
        CRN crn = 0;
        if (call_refs_.GetCallRef(ldev, portType, &crn) && crn != 0) {
            int32_t result = globalCall
                                 ? hardware_->gc_DropCall(ldev, crn, kNormalClearing, kAsyncMode)
                                 : hardware_->cc_DropCall(ldev, crn, kNormalClearing, kAsyncMode);
            ManagerLog(
                channel, kDebugNone,
                platform::Format("vl_DropCall ldev=%d crn=%d cause=%d mode=%u RET=%d", ldev,
                                 static_cast<int32_t>(crn), kNormalClearing, kAsyncMode, result));
            result = globalCall ? hardware_->gc_ReleaseCallEx(ldev, crn, kAsyncMode)
                                : hardware_->cc_ReleaseCallEx(ldev, crn, kAsyncMode);
            ManagerLog(channel, kDebugNone,
                       platform::Format("vl_ReleaseCallEx crn=%d RC=%d", static_cast<int32_t>(crn),
                                        result));
            // The released reference is the vendor's to hand out again.
            call_refs_.SetCallRef(ldev, portType, 0, false);
        }
        const int32_t result =
            globalCall ? hardware_->gc_Close(ldev, handle) : hardware_->cc_Close(ldev, handle);
        ManagerLog(channel, kDebugNone, platform::Format("vl_close ldev=%d RET=%d", ldev, result));
        ReportClosed(portType, ldev);
    });
    for (const int32_t ldev : closed) {
        devices.Erase(ldev);
    }
}

bool CVesmarinManager::IsAculabDevice(int32_t handle) {
    int32_t type = -1;
    devices_.PortTypes().Get(handle, &type);
    return type == kPortTypeIp || type == kPortTypeAculabDti;
}

// Every Aculab IP channel: its calls disconnected and released, then the channel closed. The
// IP boards are only forgotten: the cards' close ends their ports.
void CVesmarinManager::CloseAculabChannels() {
    DeviceTable& channels = devices_.Ip();
    std::lock_guard lock(channels.Lock());
    for (const auto& [ldev, handle] : channels.Snapshot()) {
        if (!IsAculabDevice(handle)) {
            continue;
        }
        if (ldev >= kBoardLineDeviceBase) {
            aculab_.ReleaseAculabHandle(handle);
            channels.Erase(ldev);
            devices_.HandleLdevs().Erase(handle);
            devices_.PortTypes().Erase(handle);
            continue;
        }
        for (const uint8_t direction :
             {AculabHandleTables::kIncomingCall, AculabHandleTables::kOutgoingCall}) {
            int32_t call = 0;
            if (!aculab_.GetAculabCallHandle(handle, direction, &call) || call == 0) {
                continue;
            }
            CALL_DISCONNECT_PARMS disconnect = telephony::SizedRecord<CALL_DISCONNECT_PARMS>();
            disconnect.handle = call;
            int32_t result = hardware_->call_disconnect(handle, &disconnect);
            ManagerLog(
                foundation::kDebugChannelIp, kDebugNone,
                platform::Format("call_disconnect ldev=%d Handle=%d RET=%d", ldev, call, result));
            result = hardware_->call_release(handle, call);
            ManagerLog(foundation::kDebugChannelIp, kDebugNone,
                       platform::Format("call_release handle=%d RC=%d", call, result));
        }
        CloseAculabChannel(ldev, handle);
    }
}

}  // namespace ruzd::node
