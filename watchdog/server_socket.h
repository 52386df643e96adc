#pragma once

// The watchdog's listener for peer watchdogs: it accepts every peer into a CClientSocket of its
// own, which hands what it receives to the server's callback and leaves the list when the peer
// goes.

#include <cstddef>
#include <list>
#include <memory>
#include <string_view>

#include "watchdog/client_socket.h"

namespace ruzd::watchdog {

class CServerSocket : public AsyncSocket {
public:
    explicit CServerSocket(ReceiveCallback callback) : callback_(std::move(callback)) {}
    ~CServerSocket() override;

    // Listens on `port` of all interfaces with a backlog of 5.
    bool Listen(int port);
    // Sends to every accepted peer; true when every send was (and when there is none).
    bool SendToAll(const void* data, size_t size);
    bool SendToAll(std::string_view text) { return SendToAll(text.data(), text.size()); }
    bool RemoveReceived(CClientSocket* socket);

    bool listening() const { return listening_; }
    int last_error() const { return last_error_; }
    const std::list<std::unique_ptr<CClientSocket>>& accepted() const { return accepted_; }
    // Forgets and deletes an accepted socket.
    void Remove(CClientSocket* socket);

protected:
    void OnAccept(int error) override;

private:
    int last_error_ = 0;
    bool listening_ = false;
    ReceiveCallback callback_;
    std::list<std::unique_ptr<CClientSocket>> accepted_;
};

}  // namespace ruzd::watchdog
