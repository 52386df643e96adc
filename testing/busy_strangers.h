#pragma once

// Strangers that keep the program under test busy rather than idle: each connects from a loopback
// address of its own (StrangerFlood::LoopbackAddress) and sends the same bytes again and again,
// as fast as the program takes them, dropping whatever the program sends back, on a thread of its
// own, until the object goes. With whole frames of valid commands they are the strangers a
// program can least tell from its own peers.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>
#include <vector>

namespace ruzd::testing {

class BusyStrangers {
public:
    // `count` strangers on `port`, from the addresses LoopbackAddress(first_address) on, each
    // sending `bytes` round and round (a send the program leaves waiting is resumed where it
    // stopped, so that frames stay whole).
    BusyStrangers(unsigned port, size_t count, std::vector<uint8_t> bytes,
                  size_t first_address = 1000);
    // Stops every stranger and closes its connection.
    ~BusyStrangers();
    BusyStrangers(const BusyStrangers&) = delete;
    BusyStrangers& operator=(const BusyStrangers&) = delete;

    // How many strangers the program has taken bytes of so far.
    size_t Sending() const { return sending_.load(); }
    // The bytes the program has taken of all of them so far.
    uint64_t SentBytes() const { return sent_bytes_.load(); }

private:
    void Run(unsigned port, size_t address);

    const std::vector<uint8_t> bytes_;
    std::atomic<bool> stop_{false};
    std::atomic<size_t> sending_{0};
    std::atomic<uint64_t> sent_bytes_{0};
    std::vector<std::thread> threads_;
};

}  // namespace ruzd::testing
