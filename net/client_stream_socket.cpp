#include "net/client_stream_socket.h"

#include "net/socket_log.h"

namespace ruzd::net {

CClientStreamSocket::CClientStreamSocket(const uint8_t* payload, int length,
                                         std::shared_ptr<CClientSocket> peer)
    : CInputStreamSocket(payload, length), peer_(std::move(peer)) {
    SetLogger([](const std::string& line) { SocketLog("%s", line.c_str()); });
}

CClientStreamSocket::~CClientStreamSocket() = default;

bool CClientStreamSocket::GetPeerName(std::string& address, unsigned& port) {
    return peer_->GetPeerName(address, port);
}

int CClientStreamSocket::Send(const uint8_t* frame, int length) {
    return peer_->Send(frame, length) ? 1 : 0;
}

int CClientStreamSocket::SendTo(const std::string&, unsigned, const uint8_t* frame, int length) {
    return Send(frame, length);
}

bool CClientStreamSocket::GetSockName(std::string& address, unsigned& port) {
    return peer_->GetSockName(address, port);
}

}  // namespace ruzd::net
