#pragma once

// Strangers on one port of a program under test, from the test's own machine, until the object
// goes: each kind on a thread of its own, rounds of connections that never send a byte (a
// round's held open until the next round begins, unless the program closes them first), and,
// when a sender is given, garbage over one connection after another. Or a given number of
// strangers, each from a loopback address of its own, as any local account may bind any.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "testing/loopback_socket.h"

namespace ruzd::testing {

class StrangerFlood {
public:
    // Opens one connection to `port` (the `index`th for garbage) and sends it up to `budget`
    // bytes of garbage, giving up once `stop` is set; the bytes the program took.
    using GarbageSender = std::function<uint64_t(unsigned port, size_t index, uint64_t budget,
                                                 const std::atomic<bool>& stop)>;

    // Does what it likes with the connection of the `index`th stranger, and closes it.
    using StrangerVisit = std::function<void(RawConnection connection, size_t index)>;

    // The `index`th of many loopback addresses ("127.1.1.1", "127.1.1.2", ...): the first 16
    // million each of its own, none of them 127.0.0.x.
    static std::string LoopbackAddress(size_t index);
    // `count` strangers on `port`, `at_once` at a time, the `index`th connected from
    // LoopbackAddress(index) and handed to `visit`; how many connected.
    static size_t FromManyAddresses(unsigned port, size_t count, unsigned at_once,
                                    const StrangerVisit& visit);

    StrangerFlood(unsigned port, size_t silent_per_round, GarbageSender garbage = {},
                  uint64_t garbage_per_connection = uint64_t{1} << 20);
    // Stops both threads and closes every connection.
    ~StrangerFlood();
    StrangerFlood(const StrangerFlood&) = delete;
    StrangerFlood& operator=(const StrangerFlood&) = delete;

    // The silent connections the program has taken so far, and the garbage bytes.
    size_t SilentConnections() const { return silent_connections_.load(); }
    uint64_t GarbageBytes() const { return garbage_bytes_.load(); }

private:
    void HoldSilent(unsigned port, size_t per_round);
    void SendGarbage(unsigned port, const GarbageSender& garbage, uint64_t per_connection);

    std::atomic<bool> stop_{false};
    std::atomic<size_t> silent_connections_{0};
    std::atomic<uint64_t> garbage_bytes_{0};
    std::thread silent_thread_;
    std::thread garbage_thread_;
};

}  // namespace ruzd::testing
