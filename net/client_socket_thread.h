#pragma once

// One outgoing connection on a thread of its own: the thread makes the CClientSocket, connects
// it and handles it. Any thread may send; a send that finds the connection down asks the thread
// to connect again, and the bytes leave once the connection is up.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "net/socket_callback.h"
#include "net/socket_core/client_socket.h"
#include "net/socket_thread_loop.h"
#include "platform/waitable.h"

namespace ruzd::net {

class CClientSocketThread {
public:
    // Returns once the thread has made its socket (or after 1000 ms). With `after`, the thread
    // connects only once that has been signalled.
    CClientSocketThread(CSocketCallback* receiver, const std::string& host, int port,
                        std::shared_ptr<platform::Waitable> after = nullptr);
    CClientSocketThread(SocketReceiveFunction receive, const std::string& host, int port,
                        SocketCloseFunction close,
                        std::shared_ptr<platform::Waitable> after = nullptr);
    // Stops the thread, which closes the connection without telling the receiver.
    ~CClientSocketThread();
    CClientSocketThread(const CClientSocketThread&) = delete;
    CClientSocketThread& operator=(const CClientSocketThread&) = delete;

    // False while stopping or without a socket.
    bool Send(const uint8_t* data, int length);
    bool SendString(const char* text);

    std::shared_ptr<CClientSocket> Socket() const;
    const std::string& Host() const { return connection_->host; }
    // -1 once the thread is stopping.
    int Port() const { return connection_->port.load(); }

    // Stops the thread and waits for its end (not when called on the thread itself). `last`
    // runs on the thread with the socket just before the socket is deleted.
    void StopSocketThread(std::function<void(CClientSocket*)> last = {});
    std::shared_ptr<platform::Event> Finished() const { return loop_.finished(); }
    bool IsCurrent() const { return loop_.IsCurrent(); }

private:
    // The socket, where it connects and who reads it: shared with the socket thread, which may
    // outlive this object.
    struct ConnectionState {
        mutable std::mutex lock;
        std::shared_ptr<CClientSocket> socket;
        std::string host;
        std::atomic<int> port{0};
        SocketReceiver receiver;

        std::shared_ptr<CClientSocket> Get() const;
        void Reconnect() const;
    };

    void Begin(std::shared_ptr<platform::Waitable> after);

    std::shared_ptr<ConnectionState> connection_;
    SocketThreadLoop loop_;
};

}  // namespace ruzd::net
