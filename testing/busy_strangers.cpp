#include "testing/busy_strangers.h"

#include <chrono>
#include <utility>

#include "testing/loopback_socket.h"
#include "testing/stranger_flood.h"

namespace ruzd::testing {
namespace {

// A send the program leaves waiting this long is given up for a look at the stop flag and at
// what came back.
constexpr std::chrono::milliseconds kSendPatience{50};

}  // namespace

BusyStrangers::BusyStrangers(unsigned port, size_t count, std::vector<uint8_t> bytes,
                             size_t first_address)
    : bytes_(std::move(bytes)) {
    for (size_t index = 0; index < count; ++index) {
        threads_.emplace_back(
            [this, port, address = first_address + index] { Run(port, address); });
    }
}

BusyStrangers::~BusyStrangers() {
    stop_.store(true);
    for (std::thread& thread : threads_) {
        thread.join();
    }
}

void BusyStrangers::Run(unsigned port, size_t address) {
    RawConnection connection =
        RawConnection::ConnectFromAddress(StrangerFlood::LoopbackAddress(address).c_str(), port);
    if (!connection.valid() || bytes_.empty()) {
        return;
    }
    connection.SetSendPatience(kSendPatience);
    bool counted = false;
    size_t offset = 0;
    while (!stop_.load()) {
        const int64_t sent = connection.SendPart(bytes_.data() + offset, bytes_.size() - offset);
        if (sent < 0) {
            return;  // closed by the program
        }
        if (sent > 0 && !counted) {
            counted = true;
            ++sending_;
        }
        sent_bytes_ += static_cast<uint64_t>(sent);
        offset = (offset + static_cast<size_t>(sent)) % bytes_.size();
        // Whatever the program answered, so that its sends never wait for this stranger.
        while (!connection.ReadSome(std::chrono::milliseconds(0)).empty()) {
        }
    }
}

}  // namespace ruzd::testing
