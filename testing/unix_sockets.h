#pragma once

// Unix-domain socket ends for the tests, written straight on the system's sockets: a datagram
// socket that takes what a program sends to syslog or to systemd's NOTIFY_SOCKET, and a raw
// packet exchange with a service's control socket. The one place of the tests that talks to the
// system's Unix sockets.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace ruzd::testing {

// A datagram socket bound to a path, removed again when the object goes.
class DatagramSink {
public:
    explicit DatagramSink(std::filesystem::path path);
    ~DatagramSink();
    DatagramSink(const DatagramSink&) = delete;
    DatagramSink& operator=(const DatagramSink&) = delete;

    bool bound() const { return fd_ >= 0; }
    const std::filesystem::path& path() const { return path_; }

    // The next datagram, or none when none comes within `limit`.
    std::optional<std::string> Receive(std::chrono::milliseconds limit);

private:
    std::filesystem::path path_;
    int fd_ = -1;
};

// A stream socket bound to a path that answers each line it is sent with one fixed line, on a
// thread of its own, as the simulated boards' control socket answers a command (but does
// nothing). The socket goes with the object.
class LineAnswerer {
public:
    LineAnswerer(std::filesystem::path path, std::string answer);
    ~LineAnswerer();
    LineAnswerer(const LineAnswerer&) = delete;
    LineAnswerer& operator=(const LineAnswerer&) = delete;

    bool listening() const { return fd_ >= 0; }
    // The lines taken so far, without their line ends.
    std::vector<std::string> Lines() const;

private:
    void Serve();
    void Converse(int connection);

    std::filesystem::path path_;
    std::string answer_;
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    mutable std::mutex lock_;
    std::vector<std::string> lines_;
    std::thread thread_;
};

// Connects to the SOCK_SEQPACKET socket at `path`, sends `packet` and returns the reply packet;
// none when the socket cannot be reached or no reply comes within `limit`.
std::optional<std::string> ExchangeSeqPacket(const std::filesystem::path& path,
                                             std::string_view packet,
                                             std::chrono::milliseconds limit);

}  // namespace ruzd::testing
