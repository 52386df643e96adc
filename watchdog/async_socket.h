#pragma once

// The base of the watchdog's sockets: a non-blocking TCP socket that lives on the thread that
// made it and learns of its readiness from notices in that thread's message queue, which the
// thread's message loop hands to DispatchSocketNotice. Reading, accepting and sending arm their
// notice again, as they do on Windows.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/message_queue.h"

namespace ruzd::watchdog {

// The message that carries socket notices.
inline constexpr uint32_t kWmSocketNotify = 0x0373;

class AsyncSocket {
public:
    AsyncSocket() = default;
    // Closes the socket.
    virtual ~AsyncSocket();
    AsyncSocket(const AsyncSocket&) = delete;
    AsyncSocket& operator=(const AsyncSocket&) = delete;

    bool has_handle() const { return handle_ >= 0; }
    int handle() const { return handle_; }
    // The local IPv4 address in dotted form; empty without a connection or binding.
    std::string LocalAddress() const;
    uint16_t LocalPort() const;

protected:
    bool CreateHandle();
    // Starts listening on `port` of all interfaces.
    bool ListenOn(uint16_t port, int backlog);
    // Starts connecting; the outcome comes to OnConnect.
    bool ConnectTo(std::string_view host, uint16_t port);
    // Takes a handle accepted by a listening socket.
    void Adopt(int handle);
    // A waiting connection's handle, or -1 with the socket error in `error`. When the process
    // lacks the descriptor for it, the connection keeps waiting and is told of again only after
    // platform::kAcceptPauseMs, so that the listener does not spin.
    int AcceptHandle(int& error);
    // As the socket calls: bytes, or -1 with the Windows Sockets error in `error`.
    int SendBytes(const void* data, size_t size, int& error);
    int ReceiveBytes(void* buffer, size_t size, int& error);
    void CloseHandle();
    void ShutdownHandle();

    virtual void OnReceive(int /*error*/) {}
    virtual void OnSend(int /*error*/) {}
    virtual void OnAccept(int /*error*/) {}
    virtual void OnConnect(int /*error*/) {}
    virtual void OnClose(int /*error*/) {}

private:
    friend bool DispatchSocketNotice(const platform::Message& message);
    void Watch(uint32_t events);

    int handle_ = -1;
    uint32_t serial_ = 0;
};

// Hands a socket notice to its socket; false for any other message. A notice of a socket that
// is gone is dropped.
bool DispatchSocketNotice(const platform::Message& message);

}  // namespace ruzd::watchdog
