#include "testing/stranger_flood.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <utility>
#include <vector>

#include "testing/loopback_socket.h"

namespace ruzd::testing {

StrangerFlood::StrangerFlood(unsigned port, size_t silent_per_round, GarbageSender garbage,
                             uint64_t garbage_per_connection)
    : silent_thread_([this, port, silent_per_round] { HoldSilent(port, silent_per_round); }) {
    if (garbage) {
        garbage_thread_ =
            std::thread([this, port, garbage = std::move(garbage), garbage_per_connection] {
                SendGarbage(port, garbage, garbage_per_connection);
            });
    }
}

StrangerFlood::~StrangerFlood() {
    stop_.store(true);
    silent_thread_.join();
    if (garbage_thread_.joinable()) {
        garbage_thread_.join();
    }
}

void StrangerFlood::HoldSilent(unsigned port, size_t per_round) {
    constexpr size_t kBatch = 50;
    while (!stop_.load()) {
        std::vector<RawConnection> held;
        while (held.size() < per_round && !stop_.load()) {
            // Each attempt waits for the program's accept only briefly, so that a program whose
            // queue of waiting connections is full is asked again and again, as by a flood.
            std::vector<RawConnection> more = ConnectMany(
                port, std::min(kBatch, per_round - held.size()), std::chrono::seconds(1));
            silent_connections_ += more.size();
            std::move(more.begin(), more.end(), std::back_inserter(held));
        }
    }
}

void StrangerFlood::SendGarbage(unsigned port, const GarbageSender& garbage,
                                uint64_t per_connection) {
    for (size_t index = 0; !stop_.load(); ++index) {
        const uint64_t sent = garbage(port, index, per_connection, stop_);
        garbage_bytes_ += sent;
        if (sent == 0) {
            // Not even connected: the program's queue of waiting connections is full.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

}  // namespace ruzd::testing
