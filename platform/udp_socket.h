#pragma once

// One IPv4 datagram socket: opened, optionally bound (a receiver), sending to an address and
// port, receiving with a time limit, closed with its owner. Failures leave the system's error
// number (errno), which error() returns.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace ruzd::platform {

class UdpSocket {
public:
    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // A new socket; false (error() tells why) when none could be made.
    bool Open();
    // Binds to `port` (0: any free one) on the loopback address, for a receiver.
    bool BindLoopback(uint16_t port = 0);
    // The bound port, 0 when none.
    uint16_t LocalPort() const;
    bool IsOpen() const { return handle_ >= 0; }
    // The system's descriptor, -1 when closed.
    int handle() const { return handle_; }

    // Bytes sent to `address` (network order) and `port` (host order), or -1.
    int SendTo(uint32_t address, uint16_t port, const void* data, size_t size);
    // The next datagram, or none when nothing came within `patience` or on failure.
    std::optional<std::vector<uint8_t>> Receive(std::chrono::milliseconds patience);

    // 0, or the error number of a failed close; the socket is closed either way.
    int Close();
    int error() const { return error_; }

private:
    int handle_ = -1;
    int error_ = 0;
};

}  // namespace ruzd::platform
