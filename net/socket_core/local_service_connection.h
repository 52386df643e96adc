#pragma once

// A blocking TCP connection to a service on this machine (127.0.0.1), for a service that takes
// one message and answers nothing.

#include <cstdint>
#include <string_view>

namespace ruzd::net {

class LocalServiceConnection {
public:
    LocalServiceConnection() = default;
    ~LocalServiceConnection();  // closes
    LocalServiceConnection(const LocalServiceConnection&) = delete;
    LocalServiceConnection& operator=(const LocalServiceConnection&) = delete;

    // Connects to `port`; true when connected. Otherwise socket_failed() tells that no socket
    // could be made (socket_error() says why, as a Windows Sockets number), else connect_result()
    // holds the connect call's result.
    bool Connect(uint16_t port);
    bool socket_failed() const { return socket_failed_; }
    uint32_t socket_error() const { return socket_error_; }
    int connect_result() const { return connect_result_; }

    // One send call: what the system does not take is not sent again.
    void SendOnce(std::string_view bytes);
    void Close();

private:
    int fd_ = -1;
    bool socket_failed_ = false;
    uint32_t socket_error_ = 0;
    int connect_result_ = 0;
};

}  // namespace ruzd::net
