#include "platform/host_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace ruzd::platform {

struct HostLookup::State {
    std::mutex lock;
    std::condition_variable done;
    bool under_way = false;
    std::optional<std::string> address;
};

namespace {

std::optional<std::string> LookUpNow(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    char text[INET_ADDRSTRLEN] = {};
    const bool written =
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr, text,
                    sizeof text) != nullptr;
    ::freeaddrinfo(found);
    return written ? std::optional<std::string>(text) : std::nullopt;
}

}  // namespace

HostLookup::HostLookup(std::string host)
    : host_(std::move(host)), state_(std::make_shared<State>()) {
    StartLookup();
}

// The thread of a look-up holds its own share of the state and is left to end by itself:
// waiting here for a name service that does not answer is what the object is there to avoid.
HostLookup::~HostLookup() = default;

bool HostLookup::WaitForAddress(uint32_t milliseconds) {
    std::unique_lock guard(state_->lock);
    state_->done.wait_for(guard, std::chrono::milliseconds(milliseconds),
                          [this] { return !state_->under_way; });
    return state_->address.has_value();
}

std::optional<std::string> HostLookup::Address() {
    std::optional<std::string> address;
    {
        std::lock_guard guard(state_->lock);
        address = state_->address;
    }
    StartLookup();
    return address;
}

void HostLookup::StartLookup() {
    {
        std::lock_guard guard(state_->lock);
        if (state_->under_way) {
            return;
        }
        state_->under_way = true;
    }
    std::thread([state = state_, host = host_] {
        std::optional<std::string> found = LookUpNow(host);
        std::lock_guard guard(state->lock);
        // A failed look-up keeps the address found before: the name service may be down
        // while the host still answers there.
        if (found) {
            state->address = std::move(found);
        }
        state->under_way = false;
        state->done.notify_all();
    }).detach();
}

}  // namespace ruzd::platform
