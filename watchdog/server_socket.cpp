#include "watchdog/server_socket.h"

#include <algorithm>

#include "platform/clock.h"
#include "platform/tcp_socket.h"
#include "watchdog/tormbel_log.h"

namespace ruzd::watchdog {

namespace {
constexpr int kListenBacklog = 5;

uint64_t NowMs() {
    return platform::CurrentClock().TickMs();
}
}  // namespace

CServerSocket::~CServerSocket() {
    accepted_.clear();
}

bool CServerSocket::Listen(int port) {
    if (!CreateHandle() || !ListenOn(static_cast<uint16_t>(port), kListenBacklog)) {
        last_error_ = platform::SocketLastError();
        CloseHandle();
        return false;
    }
    listening_ = true;
    return true;
}

bool CServerSocket::SendToAll(const void* data, size_t size) {
    bool all = true;
    for (const auto& socket : accepted_) {
        all = socket->Send(data, size) && all;
    }
    return all;
}

bool CServerSocket::RemoveReceived(CClientSocket* socket) {
    for (const auto& accepted : accepted_) {
        if (accepted.get() == socket) {
            return socket->RemoveReceived();
        }
    }
    return false;
}

void CServerSocket::Remove(CClientSocket* socket) {
    accepted_.remove_if([socket](const auto& accepted) { return accepted.get() == socket; });
}

void CServerSocket::CloseSilentPeers() {
    if (rules_.silent_limit_ms == 0) {
        return;
    }
    const uint64_t now = NowMs();
    accepted_.remove_if([&](const std::unique_ptr<CClientSocket>& socket) {
        if (now - socket->last_heard_ms() < rules_.silent_limit_ms) {
            return false;
        }
        if (silent_logged_.Due(socket->peer_address(), now)) {
            WriteLogFormat("Peer connection from %s closed: nothing received for %llu s",
                           socket->peer_address().c_str(),
                           static_cast<unsigned long long>(rules_.silent_limit_ms / 1000));
        }
        return true;
    });
}

void CServerSocket::OnAccept(int /*error*/) {
    int error = 0;
    const int handle = AcceptHandle(error);
    if (handle < 0) {
        if (platform::IsLackOfResources(error) && !pause_logged_) {
            pause_logged_ = true;
            WriteLogFormat("Peer listener pauses accepting: no descriptor left, Error=%d", error);
        }
        return;
    }
    if (pause_logged_) {
        pause_logged_ = false;
        WriteLog("Peer listener accepts again");
    }
    const std::string address = platform::TcpSocketPeerAddress(handle);
    if (!rules_.allowed.Allows(address)) {
        if (refused_logged_.Due(address, NowMs())) {
            WriteLogFormat("Peer connection from %s refused: not in the access list",
                           address.c_str());
        }
        platform::TcpSocketClose(handle);
        return;
    }
    if (!MakeRoom(address)) {
        platform::TcpSocketClose(handle);
        return;
    }
    auto socket = std::make_unique<CClientSocket>(callback_, this);
    socket->TakeAccepted(handle, address);
    accepted_.push_back(std::move(socket));
}

bool CServerSocket::MakeRoom(const std::string& address) {
    if (accepted_.size() < rules_.max_connections) {
        full_logged_ = false;
        return true;
    }
    // The list runs oldest first.
    const auto never_spoke = std::find_if(accepted_.begin(), accepted_.end(),
                                          [](const auto& socket) { return !socket->heard(); });
    const bool log = !full_logged_;
    full_logged_ = true;
    if (never_spoke == accepted_.end()) {
        if (log) {
            WriteLogFormat("Peer connection from %s turned away: %zu connections held already",
                           address.c_str(), accepted_.size());
        }
        return false;
    }
    if (log) {
        WriteLogFormat("Peer connection from %s closed to make room: %zu connections held already",
                       (*never_spoke)->peer_address().c_str(), accepted_.size());
    }
    accepted_.erase(never_spoke);
    return true;
}

}  // namespace ruzd::watchdog
