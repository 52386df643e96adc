#include "testing/stranger_flood.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <utility>
#include <vector>

namespace ruzd::testing {

std::string StrangerFlood::LoopbackAddress(size_t index) {
    // Neither 0 nor 255 in a place, which some would take for a network or a broadcast.
    constexpr size_t kPlace = 254;
    return "127." + std::to_string(1 + index / (kPlace * kPlace) % kPlace) + "." +
           std::to_string(1 + index / kPlace % kPlace) + "." + std::to_string(1 + index % kPlace);
}

size_t StrangerFlood::FromManyAddresses(unsigned port, size_t count, unsigned at_once,
                                        const StrangerVisit& visit) {
    std::atomic<size_t> next{0};
    std::atomic<size_t> connected{0};
    std::vector<std::thread> strangers;
    for (unsigned thread = 0; thread < std::max(at_once, 1u); ++thread) {
        strangers.emplace_back([&] {
            for (size_t index = next++; index < count; index = next++) {
                RawConnection connection =
                    RawConnection::ConnectFromAddress(LoopbackAddress(index).c_str(), port);
                if (connection.valid()) {
                    ++connected;
                    visit(std::move(connection), index);
                }
            }
        });
    }
    for (std::thread& stranger : strangers) {
        stranger.join();
    }
    return connected.load();
}

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
