// Arrival of the central server's commands: the start-up delay, the active connection, the
// command table, and the close of a connection.

#include <string>
#include <utility>

#include "foundation/debug_channel.h"
#include "node/command_codes.h"
#include "node/manager_log.h"
#include "node/vesmarin_manager.h"

namespace ruzd::node {

namespace {

// More connections than the listener holds at once.
constexpr size_t kMaxInitialisedConnections = 64;

}  // namespace

using foundation::kDebugChannelGeneral;
using foundation::kDebugChannelSocket;
using foundation::kDebugNone;

bool CVesmarinManager::StartupDelayPassed() {
    std::lock_guard lock(connection_lock_);
    if (startup_delay_ == 0) {
        return true;
    }
    // Signed, so that a clock set back keeps the delay running rather than ending it.
    if (NowSeconds() - start_time_ < static_cast<int64_t>(startup_delay_)) {
        return false;
    }
    startup_delay_ = 0;
    ManagerLog(kDebugChannelGeneral, kDebugNone, "Now accepting commands from central Orvanthella");
    return true;
}

bool CVesmarinManager::IsConnectedSocket(net::CClientStreamSocket* command) {
    std::lock_guard lock(connection_lock_);
    if (active_connection_ == 0) {
        return false;
    }
    if (command == nullptr) {
        return true;
    }
    return command->ConnectionSerial() == active_connection_;
}

bool CVesmarinManager::IsCentralCommand(net::CClientStreamSocket* command) {
    const uint64_t serial = command->ConnectionSerial();
    std::lock_guard lock(connection_lock_);
    if (active_connection_ != 0) {
        return serial == active_connection_;
    }
    return initialised_connections_.contains(serial);
}

void CVesmarinManager::OnSocketReceiveInfo(net::CClientStreamSocket* command) {
    ManagerLog(kDebugChannelSocket, kDebugNone, "OnSocketReceiveInfo");
    if (command == nullptr) {
        return;
    }
    int32_t code = 0;
    int32_t id = 0;
    command->ReadInt(code).ReadInt(id);
    if (!StartupDelayPassed()) {
        // Dropped, but a central server that keeps its connection alive through a long delay
        // is no idle stranger: a command that may open a connection proves it.
        if (MayOpenConnection(code)) {
            command->PeerSocket()->MarkProven();
        }
        return;
    }
    current_command_id_ = id == -1 ? kNoCommandId : id;
    const int32_t callId = current_command_id_;

    const auto entry = commands_.find(code);
    if (entry == commands_.end()) {
        ManagerLog(kDebugChannelSocket, callId, "Unknown command: " + std::to_string(code));
        current_command_id_ = kNoCommandId;
        return;
    }

    bool accepted = false;
    if (IsConnectedSocket(command)) {
        accepted = true;
    } else if (IsConnectedSocket(nullptr)) {
        std::string existing = "?";
        unsigned existingPort = 0;
        {
            std::lock_guard lock(connection_lock_);
            if (auto socket = active_socket_.lock()) {
                socket->GetPeerName(existing, existingPort);
            }
        }
        std::string incoming = "?";
        unsigned incomingPort = 0;
        command->GetPeerName(incoming, incomingPort);
        ManagerLog(kDebugChannelSocket, callId,
                   "Command received from new Connection, but a previous connection is still "
                   "active.  Are there multiple Orvanthellas connecting to this node?");
        ManagerLog(kDebugChannelSocket, callId,
                   "IP Addresses: ExistingConnection=" + existing + ", NewConnection=" + incoming);
    } else if (MayOpenConnection(code)) {
        accepted = true;
    } else {
        ManagerLog(kDebugChannelSocket, callId,
                   "Command received from new Connection, and no previous connection is active.  "
                   "First command must be CNPING/CNINIT/CNSTGR!");
    }

    if (!accepted) {
        ManagerLog(kDebugChannelSocket, callId, "command: " + std::to_string(code) + " ignored.");
    } else {
        // A valid command: the connection is no longer an idle one for the listener.
        command->PeerSocket()->MarkProven();
        // A failing handler must not take the listener's thread down with it: the next command
        // runs as usual.
        try {
            if (IsCentralCommand(command)) {
                last_command_time_ = NowSeconds();
            }
            current_command_ = &entry->second;
            (this->*entry->second.handler)(command);
        } catch (...) {
        }
        if (static_cast<CommandCode>(code) == CommandCode::kCNINIT) {
            RememberInitialised(command);
        }
    }
    current_command_ = nullptr;
    current_command_id_ = kNoCommandId;
}

void CVesmarinManager::RememberInitialised(net::CClientStreamSocket* command) {
    const uint64_t serial = command->ConnectionSerial();
    std::lock_guard lock(connection_lock_);
    // Refused (no authorised file connection from the sender's machine, values that do not
    // read): the sender stays a stranger.
    if (serial != active_connection_) {
        return;
    }
    last_command_time_ = NowSeconds();
    // Bounded by the listener's connections; a restart of the listener ends them without a
    // close, so the oldest serials go first.
    if (initialised_connections_.size() >= kMaxInitialisedConnections) {
        initialised_connections_.erase(initialised_connections_.begin());
    }
    initialised_connections_.insert(serial);
}

CommandArguments CVesmarinManager::Arguments(net::CClientStreamSocket* command,
                                             foundation::EDebugChannelType channel) const {
    const Command* running = current_command_;
    if (running == nullptr) {
        return CommandArguments(*command, "", current_command_id_, channel);
    }
    CommandArguments::Refusal refusal;
    if (running->refusal != nullptr) {
        refusal = [this, command, reply = running->refusal](const CommandValues& values) {
            reply({messages_, *command, values});
        };
    }
    return CommandArguments(*command, running->word, current_command_id_, channel,
                            std::move(refusal));
}

void CVesmarinManager::OnSocketClose(const std::string& address, unsigned port, int error,
                                     uint64_t connection) {
    ManagerLog(
        kDebugChannelSocket, kDebugNone,
        "OnSocketClose " + address + " " + std::to_string(port) + " " + std::to_string(error));
    std::unique_lock lock(connection_lock_);
    initialised_connections_.erase(connection);
    if (active_connection_ == 0) {
        lock.unlock();
        ManagerLog(kDebugChannelSocket, kDebugNone,
                   "Currently no connected socket: closing all channels");
        // Connections that never became active come and go (a central server trying the
        // port): the shut-down is only worth its time when something was left open.
        ForgetActiveConnection();
        if (HasAnythingToShutDown()) {
            SafeCloseAllChannels();
        }
        return;
    }
    std::string activeAddress;
    unsigned activePort = 0;
    auto socket = active_socket_.lock();
    const bool known = socket && socket->GetPeerName(activeAddress, activePort);
    // The serial tells the active connection apart from a later one of the same address and
    // port, which the address alone cannot.
    const bool sameConnection = connection == active_connection_;
    lock.unlock();
    if (!known && !sameConnection) {
        ManagerLog(kDebugChannelSocket, kDebugNone,
                   "There is a connected socket, but remote info could not be determined: "
                   "closing all channels");
        CloseActiveConnection();
    } else if (sameConnection) {
        ManagerLog(kDebugChannelSocket, kDebugNone,
                   "Previously connected socket is now disconnected: closing all channels");
        CloseActiveConnection();
    } else {
        ManagerLog(kDebugChannelSocket, kDebugNone,
                   "Connected socket is not the one that is now disconnected: ignoring socket "
                   "close, and NOT closing channels");
    }
}

void CVesmarinManager::CloseActiveConnection() {
    ForgetActiveConnection();
    // Outside the connection lock: the close waits for the workers, which may be waiting for
    // that lock themselves.
    SafeCloseAllChannels();
}

void CVesmarinManager::ForgetActiveConnection() {
    std::lock_guard lock(connection_lock_);
    active_connection_ = 0;
    active_socket_.reset();
    if (listener_) {
        listener_->SetActiveConnection(0);
    }
    if (file_listener_) {
        file_listener_->SetCentralAddress({});
    }
    CallConnectionState(0, 0);
    client_initialised_ = false;
}

}  // namespace ruzd::node
