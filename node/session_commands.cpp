// The session commands of the central server.

#include <filesystem>
#include <string>
#include <system_error>

#include "foundation/app_hooks.h"
#include "foundation/debug_channel.h"
#include "foundation/dialogic_install.h"
#include "foundation/module_version.h"
#include "foundation/peer_log_limit.h"
#include "net/cache_path.h"
#include "node/central_clock.h"
#include "node/command_codes.h"
#include "node/manager_log.h"
#include "node/port_type.h"
#include "node/vesmarin_manager.h"
#include "platform/message_box.h"
#include "platform/win_path.h"
#include "telephony/intel_boards.h"

namespace ruzd::node {

using foundation::kDebugChannelGeneral;
using foundation::kDebugChannelNone;
using foundation::kDebugChannelSocket;

namespace {

// Central servers of a newer interface than this get no reply to their initialisation.
constexpr int32_t kHighestInterfaceLevel = 12;
// After a graceful end commands are dropped until this long after the start.
constexpr uint32_t kGracefulStopDelaySeconds = 120;
constexpr const char* kFileCacheProblemsFolder = ".\\FileCacheProblems";

}  // namespace

// Keep-alive: echoes the value on the command's connection; the first one on an active
// connection also tells every peer that the node's client socket is ready.
void CVesmarinManager::SocketCmdCNPING(net::CClientStreamSocket* command) {
    const int32_t callId = current_command_id_;
    CommandArguments args = Arguments(command, kDebugChannelGeneral);
    args.LogName();
    int32_t value = 0;
    // A keep-alive without its value is answered all the same, with 0.
    if (!args.MayEndHere().Int(value).AllRead()) {
        return;
    }
    ManagerLog(kDebugChannelGeneral, callId, "CNPING value=" + std::to_string(value));
    messages_.PingEcho(*command, value);

    std::lock_guard lock(connection_lock_);
    if (active_connection_ != 0 && !client_initialised_) {
        client_initialised_ = true;
        if (listener_) {
            messages_.ClientSocketInitialized(*listener_);
        }
        ManagerLog(kDebugChannelSocket, callId, "Client socket initialized");
    }
}

// Initialises the node for the central server that sent it and makes the command's connection
// the active one. Without an authorised file-transfer connection the server could not be sent
// its recordings, so the command is refused.
void CVesmarinManager::SocketCmdCNINIT(net::CClientStreamSocket* command) {
    const int32_t callId = current_command_id_;
    try {
        InitialiseForCentral(command, callId);
    } catch (...) {
        ManagerLog(kDebugChannelNone, callId, "!!!!!!!!!!!!! Access violation catched in CNINIT");
    }
}

void CVesmarinManager::InitialiseForCentral(net::CClientStreamSocket* command, int32_t callId) {
    CommandArguments args = Arguments(command, kDebugChannelGeneral);
    args.LogName();
    int32_t unused = 0;
    std::string centralHost;
    int32_t interfaceLevel = 0;
    // A central server that sends no interface level is of the oldest level: 0. Values that do
    // not read are refused with the reader's line and no answer: message 31 would tell the
    // central server that the node took it on.
    if (!args.Int(unused).String(centralHost).MayEndHere().Int(interfaceLevel).AllRead()) {
        return;
    }

    if (!file_listener_ || !file_listener_->HasAuthorisedSocket()) {
        ManagerLog(kDebugChannelGeneral, callId, "File Socket not connected. Ignoring CNINIT");
        return;
    }
    // Only the machine whose file connection is authorised may take the node over.
    std::string peerAddress;
    unsigned peerPort = 0;
    if (!command->GetPeerName(peerAddress, peerPort) ||
        !file_listener_->HasAuthorisedSocketFrom(peerAddress)) {
        ManagerLog(kDebugChannelGeneral, callId,
                   "File Socket not connected from " + peerAddress + ". Ignoring CNINIT");
        return;
    }
    // The central server from here on: its set-up is logged in full.
    foundation::ScopedPeerLogLimit central(nullptr);
    CreateFileCacheFolders();
    // Read before the connection lock is taken: every other connection's commands wait on it.
    const FileMap::Contents fileMap = ReadFileMap();
    {
        std::lock_guard lock(connection_lock_);
        ManagerLog(kDebugChannelGeneral, callId, "Initializing Pelwix");
        open_channels_ = 0;
        // Bounded: the clock program is stopped when it does not end in time.
        CentralClock::SetFrom(centralHost, callId);
        ForgetDeviceTables();
        RegisterIpBoard();
        file_map_.Take(fileMap, callId);
        CallConnectionState(1, 0);
        active_connection_ = command->ConnectionSerial();
        active_socket_ = command->PeerSocket();
        if (listener_) {
            listener_->SetActiveConnection(active_connection_);
        }
        file_listener_->SetCentralAddress(peerAddress);
        listener_epoch_ = NowSeconds();
        client_initialised_ = false;
    }

    if (interfaceLevel <= kHighestInterfaceLevel) {
        messages_.InitReply(*command, InitReply());
        return;
    }
    ManagerLog(kDebugChannelNone, callId, "ERROR: Vesmarin needs to be upgraded.");
    // Shown to whoever watches the node; the command thread goes on at once.
    platform::ShowMessageBoxDetached("Please upgrade to the latest Vesmarin version.",
                                     foundation::CurrentApp().ApplicationName(), platform::kMbOk);
}

void CVesmarinManager::CreateFileCacheFolders() {
    for (const std::string_view folder :
         {net::kFileCacheFolder, std::string_view(kFileCacheProblemsFolder)}) {
        std::error_code ignored;
        std::filesystem::create_directories(platform::MapWindowsPath(folder), ignored);
    }
}

// The first IP telephony board's line device, under its board number, when there is one.
void CVesmarinManager::RegisterIpBoard() {
    telephony::CIntelBoards& boards = telephony::IntelBoards();
    boards.Init();
    const int32_t handle = boards.GetIPTBoardHandle(1);
    if (handle == -1) {
        return;
    }
    const int32_t ldev = kBoardLineDeviceBase + 1;
    devices_.Ip().Set(ldev, handle);
    devices_.HandleLdevs().Set(handle, ldev);
    devices_.PortTypes().Set(handle, kPortTypeGlobalCallIp);
}

InitReplyFields CVesmarinManager::InitReply() const {
    InitReplyFields fields;
    foundation::CModuleVersion version;
    if (version.Load()) {
        fields.fileVersion = version.GetFileVersionString();
    }
    fields.globalCallInitialised = hardware_ && hardware_->IsGlobalCallInitialised();
    fields.intelIpBoards = hardware_ && hardware_->HasIntelIPBoards(0);
    fields.withoutWindow = settings_.runMode == foundation::kRunModeService ||
                           settings_.runMode == foundation::kRunModeHeadless;
    fields.dialogicRelease = foundation::GetDialogicVersionString();
    return fields;
}

// The central server ends its work with the node: the node drops commands again for a while and
// the user interface is told to stop. Channels stay as they are; the server closed them.
void CVesmarinManager::SocketCmdCNSTGR(net::CClientStreamSocket* command) {
    Arguments(command, kDebugChannelGeneral).LogName();
    if (!IsCentralCommand(command)) {
        ManagerLog(kDebugChannelGeneral, current_command_id_,
                   "CNSTGR ignored: not from the central server's connection");
        return;
    }
    {
        std::lock_guard lock(connection_lock_);
        startup_delay_ = kGracefulStopDelaySeconds;
        active_connection_ = 0;
        active_socket_.reset();
        if (listener_) {
            listener_->SetActiveConnection(0);
        }
        if (file_listener_) {
            file_listener_->SetCentralAddress({});
        }
        client_initialised_ = false;
    }
    CallConnectionState(0, 0);
    if (callback_ != nullptr) {
        callback_->OnVesmarinManagerStop();
    }
}

// Starts the worker threads that do not run yet.
void CVesmarinManager::SocketCmdCNSTRT(net::CClientStreamSocket* command) {
    Arguments(command, kDebugChannelGeneral).LogName();
    StartAllThreads();
}

// Stops every worker thread; the active connection ends with them.
void CVesmarinManager::SocketCmdCNSTOP(net::CClientStreamSocket* command) {
    Arguments(command, kDebugChannelGeneral).LogName();
    StopAllThreads();
}

}  // namespace ruzd::node
