// The session commands of the central server.

#include <string>

#include "foundation/debug_channel.h"
#include "node/manager_log.h"
#include "node/vesmarin_manager.h"

namespace ruzd::node {

using foundation::kDebugChannelGeneral;
using foundation::kDebugChannelSocket;

// Keep-alive: echoes the value on the command's connection; the first one on an active
// connection also tells every peer that the node's client socket is ready.
void CVesmarinManager::SocketCmdCNPING(net::CClientStreamSocket* command) {
    const int32_t callId = currentCommandId_;
    ManagerLog(kDebugChannelGeneral, callId, "SocketCmdCNPING");
    lastCommandTime_ = NowSeconds();
    int32_t value = 0;
    command->ReadInt(value);
    ManagerLog(kDebugChannelGeneral, callId, "CNPING value=" + std::to_string(value));
    messages_.PingEcho(*command, value);

    std::lock_guard lock(connectionLock_);
    if (activeConnection_ != 0 && !clientInitialised_) {
        clientInitialised_ = true;
        if (listener_) {
            messages_.ClientSocketInitialized(*listener_);
        }
        ManagerLog(kDebugChannelSocket, callId, "Client socket initialized");
    }
}

}  // namespace ruzd::node
