#pragma once

// Plain blocking TCP ends on 127.0.0.1 for the tests, written straight on the system's sockets so
// that the node's socket code is checked against ends that share none of it. The one place of the
// tests that talks to the system's sockets.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "testing/eventually.h"

namespace ruzd::testing {

// A port that nothing listens on at the moment and that no other test process is handed while
// this one lives: taken below the kernel's range for outgoing connections (whose local ports
// would otherwise take it between this call and the bind that follows it) and claimed by a lock
// file the process holds until it ends.
uint16_t FreePort();

// How many received bytes the socket `fd` holds that nobody has read yet.
size_t UnreadBytes(int fd);

// The keep-alive settings of the socket `fd`: on (1) or off (0), the idle time before the first
// probe and the time between probes, in seconds.
struct KeepAlive {
    int on = 0;
    int idle = 0;
    int interval = 0;
};
KeepAlive KeepAliveOf(int fd);

// Whether the socket `fd` sends small segments at once (TCP_NODELAY).
bool NoDelayOf(int fd);

// One blocking connection end.
class RawConnection {
public:
    RawConnection() = default;
    explicit RawConnection(int fd) : fd_(fd) {}
    RawConnection(RawConnection&& other) noexcept;
    RawConnection& operator=(RawConnection&& other) noexcept;
    ~RawConnection() { Close(); }

    // One attempt; an invalid connection when nothing listens on `port`, with the system's
    // reason in `reason` when one is given.
    static RawConnection Connect(unsigned port, std::string* reason = nullptr);
    // One attempt from `local_port`, which may be taken again at once after a close.
    static RawConnection ConnectFrom(unsigned local_port, unsigned port);
    // One attempt from another address of the loopback network (as "127.0.0.2"), so that the
    // node sees a second machine.
    static RawConnection ConnectFromAddress(const char* local_address, unsigned port);
    // One attempt to another address of the loopback network (as "127.0.0.2"), for a listener
    // that listens on one address only.
    static RawConnection ConnectTo(const char* address, unsigned port);
    // One attempt from an IPv6 socket to ::ffff:127.0.0.1, the IPv4-mapped form of 127.0.0.1, as
    // a program that opens IPv6 sockets only reaches an IPv4 listener.
    static RawConnection ConnectMapped(unsigned port);
    // Attempts until the port listens, `patience` has passed or `gave_up` holds (as when the
    // program that is to listen has ended).
    static RawConnection ConnectWhenListening(unsigned port,
                                              std::chrono::milliseconds patience = kPatience,
                                              const std::function<bool()>& gave_up = {});

    bool valid() const { return fd_ >= 0; }
    // The system's descriptor, for a benchmark's floor that waits on many connections at once.
    int descriptor() const { return fd_; }
    // The port of this end.
    unsigned LocalPort() const;
    // Sends small segments at once rather than after the peer's acknowledgement of the last
    // one (TCP_NODELAY), as the node's connections do.
    bool SendAtOnce();
    // A send that the peer leaves waiting this long fails, so that a sender of a peer that stops
    // reading can give up.
    bool SetSendPatience(std::chrono::milliseconds patience);

    bool SendAll(const void* data, size_t length);
    bool SendAll(const std::vector<uint8_t>& bytes) { return SendAll(bytes.data(), bytes.size()); }
    bool SendAll(const std::string& text) { return SendAll(text.data(), text.size()); }
    // One send: the bytes the system took (fewer than `length`, or none, when the send patience
    // ran out first), -1 once the connection has ended.
    int64_t SendPart(const void* data, size_t length);

    // Exactly `length` bytes; fewer when the connection ends or nothing comes in time.
    std::vector<uint8_t> Read(size_t length, std::chrono::milliseconds patience = kPatience);
    std::string ReadText(size_t length);
    // Whatever has arrived (at most `at_most` bytes), after waiting for at least one byte; empty
    // when the connection ends or nothing comes in time.
    std::vector<uint8_t> ReadSome(std::chrono::milliseconds patience = kPatience,
                                  size_t at_most = 65536);

    // True when the peer closed; what was still unread is dropped.
    bool WaitClosed();
    // Whether the peer closes within `patience`; unread bytes stay (a false answer).
    bool ClosedWithin(std::chrono::milliseconds patience);
    // True when nothing arrives for a short while.
    bool StaysQuiet(std::chrono::milliseconds quiet);

    // Ends the connection with a reset instead of an orderly close.
    void Reset();
    void Close();

private:
    bool WaitReadable(std::chrono::steady_clock::time_point deadline);

    int fd_ = -1;
};

// `count` connections to `port`, for a listener that takes them more slowly than they come: an
// attempt that does not stand at once (the listener's queue is full, and the system would send
// its request again only a second later) is dropped and made anew. Fewer when `patience` runs out.
std::vector<RawConnection> ConnectMany(unsigned port, size_t count,
                                       std::chrono::milliseconds patience = kPatience);

// Reads what a set of connections receive and drops it, on a thread of its own, so that a peer
// sending to all of them never finds one full.
class ConnectionDrain {
public:
    explicit ConnectionDrain(std::vector<RawConnection> connections);
    ~ConnectionDrain();
    ConnectionDrain(const ConnectionDrain&) = delete;
    ConnectionDrain& operator=(const ConnectionDrain&) = delete;

    // The bytes dropped so far, over every connection.
    uint64_t Bytes() const { return bytes_.load(); }

private:
    std::vector<RawConnection> connections_;
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> bytes_{0};
    std::thread worker_;
};

// A blocking listener on 127.0.0.1.
class RawListener {
public:
    // port 0: a port the system picks.
    explicit RawListener(unsigned port = 0);
    ~RawListener() { Close(); }
    RawListener(const RawListener&) = delete;
    RawListener& operator=(const RawListener&) = delete;

    bool valid() const { return fd_ >= 0; }
    unsigned port() const { return port_; }

    // The next connection; an invalid one when none comes in time or the listening ended.
    RawConnection Accept(std::chrono::milliseconds patience = kPatience);
    // Ends the listening; an Accept waiting on another thread returns at once.
    void Shutdown();
    void Close();

private:
    int fd_ = -1;
    unsigned port_ = 0;
};

// A service on 127.0.0.1 that takes one connection and keeps what it sends until it closes.
class OneConnectionSink {
public:
    // port 0: a port the system picks.
    explicit OneConnectionSink(unsigned port = 0);
    ~OneConnectionSink();
    OneConnectionSink(const OneConnectionSink&) = delete;
    OneConnectionSink& operator=(const OneConnectionSink&) = delete;

    bool Listening() const { return listener_.valid(); }
    unsigned port() const { return listener_.port(); }
    // All the connection sent, once it closed.
    std::future<std::string> Received() { return received_.get_future(); }

private:
    RawListener listener_;
    std::promise<std::string> received_;
    std::thread worker_;
};

// A plain blocking echo server on 127.0.0.1 for one connection, on a thread of its own that
// first runs `prepare` (as to tie itself to a processor): the floor that the node's command
// handling is compared with.
class EchoServer {
public:
    explicit EchoServer(std::function<void()> prepare = {});
    ~EchoServer();
    EchoServer(const EchoServer&) = delete;
    EchoServer& operator=(const EchoServer&) = delete;

    unsigned port() const { return listener_.port(); }
    // The processor time the server's thread has used so far, in seconds.
    double CpuSeconds();

private:
    RawListener listener_;
    std::thread worker_;
};

}  // namespace ruzd::testing
