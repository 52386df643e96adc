#pragma once

// A time server for tests on 127.0.0.1: it answers SNTP requests with a fixed time, or keeps
// silent, or answers in ways a client must not believe. It encodes its answers itself, so that
// it checks the client's packet code rather than sharing it.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace ruzd::testing {

class SntpTestServer {
public:
    enum class Behaviour {
        kAnswer,          // a proper answer carrying the fixed time
        kSilent,          // nothing at all
        kKissOfDeath,     // stratum 0: "go away"
        kWrongOriginate,  // an answer to some other request
        kStrayThenAnswer  // one answer to another request, then a proper one
    };

    explicit SntpTestServer(Behaviour behaviour = Behaviour::kAnswer,
                            std::chrono::system_clock::time_point time = DefaultTime());
    ~SntpTestServer();
    SntpTestServer(const SntpTestServer&) = delete;
    SntpTestServer& operator=(const SntpTestServer&) = delete;

    uint16_t port() const { return port_; }
    int requests() const { return requests_.load(); }

    // 2030-01-01 00:00:00 UTC.
    static std::chrono::system_clock::time_point DefaultTime();

private:
    void Serve();

    const Behaviour behaviour_;
    const std::chrono::system_clock::time_point time_;
    int fd_ = -1;
    int stop_pipe_[2] = {-1, -1};
    uint16_t port_ = 0;
    std::atomic<int> requests_{0};
    std::thread thread_;
};

}  // namespace ruzd::testing
