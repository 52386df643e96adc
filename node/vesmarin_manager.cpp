#include "node/vesmarin_manager.h"

#include <chrono>
#include <optional>
#include <string>

#include "foundation/debug_channel.h"
#include "foundation/registry.h"
#include "foundation/trace.h"
#include "net/connection_limit.h"
#include "node/command_codes.h"
#include "node/exception_cm.h"
#include "node/hardware_startup.h"
#include "node/manager_log.h"
#include "node/open_ports_notice.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/registry_store.h"
#include "platform/root_problem.h"
#include "platform/thread.h"
#include "telephony/intel_boards.h"

namespace ruzd::node {

using foundation::kDebugChannelGeneral;
using foundation::kDebugChannelSocket;
using foundation::kDebugNone;

namespace {

// From this trace level on the Aculab media library writes its own trace.
constexpr int kAculabTraceLevel = 4;

}  // namespace

CVesmarinManager::CVesmarinManager(const ManagerSettings& settings)
    : settings_(settings), startup_delay_(settings.startupDelaySeconds) {
    listener_epoch_ = NowSeconds();
    isdn_worker_.SetWake([this] {
        if (telephony::CHardwareISDN* hardware = hardware_.get();
            hardware != nullptr && hardware->IsIntelAvailable()) {
            isdn_wake_.Wake(*hardware);
        }
    });
}

CVesmarinManager::~CVesmarinManager() {
    ManagerLog(kDebugChannelGeneral, kDebugNone, "~CVesmarinManager");
    // Going on a worker's thread, the manager has outlived its owner's share, and the owner's
    // callback may have gone with the owner: nothing is reported to it any more.
    if (WorkerThread::OnWorkerThread()) {
        callback_ = nullptr;
    }
    // Nobody below reaches the manager once its destruction began.
    WithdrawServices();
    SafeCloseAllChannels();
    StopAllThreads();
    // The listener's thread is stopped first, so that no command or close arrives while the
    // rest goes; it ends before the listener goes, since a close it handles reads `listener_`.
    if (listener_) {
        listener_->Stop();
    }
    listener_.reset();
    if (file_listener_) {
        // Its connections call back into the manager, so the thread must have ended before the
        // manager goes: after the quit it is given 5000 ms, and waited for beyond that with a
        // line in the log rather than left running on a dead owner.
        file_listener_->Stop();
        file_listener_.reset();
    }
    // The recordings the channels' close queued last, and a queue whose last write failed,
    // reach the disk before the node ends.
    move_queue_.KeepOnDisk(NowSeconds());
    if (hardware_) {
        // The board list is the process's; a manager that never got as far as its hardware
        // leaves it to the one that did.
        telephony::IntelBoards().Close();
        if (hardware_->IsGlobalCallInitialised()) {
            hardware_->gc_Stop();
        }
        if (telephony::PublishedHardware() == hardware_.get()) {
            telephony::PublishHardware(nullptr);
        }
    }
    instance_mutex_.reset();
    hardware_.reset();
    std::lock_guard lock(connection_lock_);
    active_connection_ = 0;
    active_socket_.reset();
    callback_ = nullptr;
}

int64_t CVesmarinManager::NowSeconds() const {
    return std::chrono::duration_cast<std::chrono::seconds>(
               platform::CurrentClock().Now().time_since_epoch())
        .count();
}

void CVesmarinManager::Initialise(CVesmarinManagerCallback* callback) {
    ManagerLog(kDebugChannelGeneral, kDebugNone,
               std::string("Initialise callback=") + (callback != nullptr ? "set" : "none"));
    current_command_id_ = kNoCommandId;
    PopulateISDNEvents();
    open_channels_ = 0;
    callback_ = callback;

    // A node that cannot keep its state under the platform root, and a second node on the
    // machine, stop here, before they touch the registry or the boards.
    if (const std::optional<std::string> problem = platform::RootProblem()) {
        throw CExceptionCM(*problem, true);
    }
    instance_mutex_ = std::make_unique<platform::NamedMutex>(kInstanceMutexName);
    switch (instance_mutex_->TryAcquire()) {
        case platform::NamedMutex::Acquire::kAcquired:
            break;
        case platform::NamedMutex::Acquire::kHeldElsewhere:
            throw CExceptionCM(kAnotherInstanceMessage, true);
        case platform::NamedMutex::Acquire::kFailed:
            throw CExceptionCM(instance_mutex_->failure(), true);
    }
    // Running on defaults in place of a registry file that cannot be read would hide what its
    // author wrote there.
    if (const std::optional<std::string> problem = platform::RegistryStore::Problem()) {
        throw CExceptionCM(*problem, true);
    }

    ReadPorts();
    SayWhenAnyPeerMayActAsCentral(command_port_, file_socket_port_);
    RegisterCommands();

    {
        std::lock_guard lock(connection_lock_);
        if (startup_delay_ == 0) {
            startup_delay_ = kDefaultStartupDelaySeconds;
        }
        start_time_ = NowSeconds();
    }
    StartHardware();
    telephony::IntelBoards().Init();
    // The moves a former run could not finish are due at once.
    move_queue_.Load(NowSeconds());

    // One bound for both ports: a peer cannot double it by using the other one as well.
    const std::shared_ptr<net::BufferBudget> budget = net::CreateNodeBufferBudget();
    listener_ = std::make_unique<net::CServerStreamSocketThread>(
        this, static_cast<int>(command_port_), budget);
    file_listener_ = std::make_unique<net::COrvanthellaFileSocketThread>(
        this, net::COrvanthellaFileSocketThread::ReadListenerPort(),
        net::COrvanthellaFileSocketThread::SocketFactory(), budget);
    {
        std::lock_guard lock(connection_lock_);
        client_initialised_ = false;
    }
    PublishServices();
    if (hardware_) {
        telephony::PublishHardware(hardware_.get());
    }
    CallConnectionState(0, 1);
}

void CVesmarinManager::StartHardware() {
    hardware_ = std::make_unique<telephony::CHardwareISDN>(platform::CurrentThreadId(),
                                                           settings_.aculabPath);
    telephony::PublishHardware(hardware_.get());

    if (settings_.configureAmtelco) {
        if (!hardware_->IsAmtelcoAvailable()) {
            platform::ShowMessageBox("Could not load XDSlibsc.dll\nAmtelco traffic is disabled",
                                     foundation::CurrentApp().ApplicationName(), platform::kMbOk);
        } else {
            ConfigureAmtelcoBoard(*hardware_, settings_);
        }
    }
    const ServiceWaitHooks waitHooks{[] { PauseKeepingMessagesMoving(1000); },
                                     [this](const std::string& text) {
                                         if (callback_ != nullptr) {
                                             callback_->OnVesmarinStatusText(text);
                                         }
                                     }};
    if (hardware_->IsIntelAvailable()) {
        WaitForDialogicService(*hardware_, waitHooks);
    }
    if (hardware_->IsAculabAvailable()) {
        WaitForAculabCards(*hardware_, waitHooks);
        hardware_->SetAculabTrace(foundation::g_nTraceLevel >= kAculabTraceLevel);
    }
}

void CVesmarinManager::ReadPorts() {
    foundation::CRegistry registry(kNodeRegistrySection);
    const auto readPort = [&registry](const char* value, uint32_t fallback, const char* missingLine,
                                      const char* setLine) {
        uint32_t port = 0;
        if (!registry.ReadDword(value, &port)) {
            port = fallback;
            registry.WriteDword(value, port);
            ManagerLog(kDebugChannelSocket, kDebugNone, missingLine);
        }
        ManagerLog(kDebugChannelGeneral, kDebugNone, setLine + std::to_string(port));
        // A port is 16 bits: a larger number would be cut to some other port without a word.
        if (port < 1 || port > 65535) {
            throw CExceptionCM(std::string("The registry's \"") + value + "\" is " +
                                   std::to_string(port) + ", which is no TCP port (1 to 65535).",
                               true);
        }
        return port;
    };
    command_port_ =
        readPort(kLocalTcpPortValue, kDefaultCommandPort,
                 "Could not find TCP port in registry.  Using default", "Local TCP port set to: ");
    file_socket_port_ =
        readPort(kLocalFileSocketTcpPortValue, kDefaultFileSocketPort,
                 "Could not find Local File Socket TCP port in registry.  Using default",
                 "Local File Socket TCP port set to: ");
}

void CVesmarinManager::RegisterCommands() {
    // Only commands whose handler exists are listed; every other code is logged as an unknown
    // command.
#define RUZD_COMMAND(code, word, refusal)                     \
    commands_[static_cast<int32_t>(CommandCode::k##word)] = { \
        #word, &CVesmarinManager::SocketCmd##word, refusal_replies::refusal};
#include "node/command_list.inc"
#undef RUZD_COMMAND
}

uint32_t CVesmarinManager::StartupDelaySeconds() const {
    std::lock_guard lock(connection_lock_);
    return startup_delay_;
}

void CVesmarinManager::CallConnectionState(int32_t connected, int32_t starting) {
    if (callback_ != nullptr) {
        callback_->OnVesmarinConnectionState(connected, starting);
    }
}

void CVesmarinManager::StopRequest() {
    ManagerLog(kDebugChannelGeneral, kDebugNone, "StopRequest");
    if (!IsConnectedSocket(nullptr) || open_channels_.load() < 1) {
        if (callback_ != nullptr) {
            callback_->OnVesmarinManagerStop();
        }
        return;
    }
    if (listener_) {
        messages_.StopRequest(*listener_);
    }
    ManagerLog(kDebugChannelSocket, kDebugNone, "Stop request sent to server.  Please wait...");
}

}  // namespace ruzd::node
