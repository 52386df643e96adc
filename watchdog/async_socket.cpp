#include "watchdog/async_socket.h"

#include <map>

#include "platform/socket_notices.h"
#include "platform/tcp_socket.h"
#include "platform/wsa_error.h"

namespace ruzd::watchdog {
namespace {

// The sockets of this thread by handle.
std::map<int, AsyncSocket*>& Sockets() {
    thread_local std::map<int, AsyncSocket*> sockets;
    return sockets;
}

}  // namespace

AsyncSocket::~AsyncSocket() {
    CloseHandle();
}

std::string AsyncSocket::LocalAddress() const {
    return handle_ >= 0 ? platform::TcpSocketLocalAddress(handle_) : std::string();
}

uint16_t AsyncSocket::LocalPort() const {
    return handle_ >= 0 ? platform::TcpSocketLocalPort(handle_) : 0;
}

bool AsyncSocket::CreateHandle() {
    CloseHandle();
    handle_ = platform::TcpSocketCreate();
    return handle_ >= 0;
}

bool AsyncSocket::ListenOn(uint16_t port, int backlog) {
    if (!platform::TcpSocketListen(handle_, port, backlog)) {
        return false;
    }
    Watch(platform::kFdAccept);
    return true;
}

bool AsyncSocket::ConnectTo(std::string_view host, uint16_t port) {
    if (!platform::TcpSocketConnect(handle_, host, port)) {
        return false;
    }
    Watch(platform::kFdConnect | platform::kFdRead | platform::kFdWrite | platform::kFdClose);
    return true;
}

void AsyncSocket::Adopt(int handle) {
    CloseHandle();
    handle_ = handle;
    Watch(platform::kFdRead | platform::kFdWrite | platform::kFdClose);
}

int AsyncSocket::AcceptHandle(int& error) {
    const int accepted = platform::TcpSocketAccept(handle_);
    error = accepted < 0 ? platform::SocketLastError() : 0;
    if (accepted < 0 && platform::IsLackOfResources(error)) {
        platform::ArmSocketNoticesAfter(handle_, platform::kFdAccept, platform::kAcceptPauseMs);
    } else {
        platform::ArmSocketNotices(handle_, platform::kFdAccept);
    }
    return accepted;
}

int AsyncSocket::SendBytes(const void* data, size_t size, int& error) {
    const int sent = platform::TcpSocketSend(handle_, data, size);
    error = sent < 0 ? platform::SocketLastError() : 0;
    if (sent < 0 && error == platform::kWsaEwouldblock) {
        platform::ArmSocketNotices(handle_, platform::kFdWrite);
    }
    return sent;
}

int AsyncSocket::ReceiveBytes(void* buffer, size_t size, int& error) {
    const int got = platform::TcpSocketReceive(handle_, buffer, size);
    error = got < 0 ? platform::SocketLastError() : 0;
    if (got != 0) {
        platform::ArmSocketNotices(handle_, platform::kFdRead);
    }
    return got;
}

void AsyncSocket::CloseHandle() {
    if (handle_ < 0) {
        return;
    }
    platform::RemoveSocketNotices(handle_);
    Sockets().erase(handle_);
    platform::TcpSocketClose(handle_);
    handle_ = -1;
    serial_ = 0;
}

void AsyncSocket::ShutdownHandle() {
    if (handle_ >= 0) {
        platform::TcpSocketShutdown(handle_);
    }
}

void AsyncSocket::Watch(uint32_t events) {
    serial_ = platform::RegisterSocketNotices(handle_, kWmSocketNotify, events);
    Sockets()[handle_] = this;
}

bool DispatchSocketNotice(const platform::Message& message) {
    if (message.id != kWmSocketNotify) {
        return false;
    }
    const int handle = static_cast<int>(message.wparam);
    const platform::SocketNotice notice = platform::DecodeSocketNotice(message.lparam);
    const auto it = Sockets().find(handle);
    if (it == Sockets().end() || it->second->serial_ != notice.serial) {
        return true;
    }
    AsyncSocket* socket = it->second;
    switch (notice.event) {
        case platform::kFdRead:
            socket->OnReceive(notice.error);
            break;
        case platform::kFdWrite:
            socket->OnSend(notice.error);
            break;
        case platform::kFdAccept:
            socket->OnAccept(notice.error);
            break;
        case platform::kFdConnect:
            socket->OnConnect(notice.error);
            break;
        case platform::kFdClose:
            socket->OnClose(notice.error);
            break;
        default:
            break;
    }
    return true;
}

}  // namespace ruzd::watchdog
