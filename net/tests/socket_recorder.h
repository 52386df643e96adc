#pragma once

// A plain-socket receiver that records what it is told and lets a test wait for it.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "net/socket_callback.h"
#include "net/socket_core/client_socket.h"
#include "testing/eventually.h"
#include "testing/loopback_socket.h"

namespace ruzd::net::testing {

// The raw far ends and the waits of the socket tests.
using namespace ruzd::testing;

class SocketRecorder : public CSocketCallback {
public:
    struct Read {
        uint64_t serial;
        int count;
    };
    struct Close {
        uint64_t serial;
        int error;
    };

    void OnReceive(CClientSocket* socket, int count) override {
        std::lock_guard guard(lock_);
        const auto* bytes = reinterpret_cast<const char*>(socket->ReceiveBuffer());
        received_[socket->Serial()].append(bytes, static_cast<size_t>(count));
        terminated_ = terminated_ && bytes[count] == '\0';
        reads_.push_back({socket->Serial(), count});
        changed_.notify_all();
    }

    void OnClose(CClientSocket* socket, int error) override {
        std::lock_guard guard(lock_);
        closes_.push_back({socket->Serial(), error});
        changed_.notify_all();
    }

    bool OnAccept(CClientSocket* socket, int) override {
        std::lock_guard guard(lock_);
        accepted_.push_back(socket->Serial());
        changed_.notify_all();
        return accept_.load();
    }

    void SetAccepting(bool accept) { accept_.store(accept); }

    // Waits until `done` holds, with the recorder's lock held while it is tested.
    bool WaitUntil(const std::function<bool()>& done) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, kPatience, done);
    }

    bool WaitForBytes(uint64_t serial, size_t count) {
        return WaitUntil([&] { return received_[serial].size() >= count; });
    }
    bool WaitForTotal(size_t count) {
        return WaitUntil([&] { return TotalLocked() >= count; });
    }
    bool WaitForCloses(size_t count) {
        return WaitUntil([&] { return closes_.size() >= count; });
    }
    bool WaitForAccepts(size_t count) {
        return WaitUntil([&] { return accepted_.size() >= count; });
    }

    std::string Received(uint64_t serial) {
        std::lock_guard guard(lock_);
        return received_[serial];
    }
    std::string AllReceived() {
        std::lock_guard guard(lock_);
        std::string all;
        for (const auto& [serial, bytes] : received_) {
            all += bytes;
        }
        return all;
    }
    std::vector<Read> Reads() {
        std::lock_guard guard(lock_);
        return reads_;
    }
    std::vector<Close> Closes() {
        std::lock_guard guard(lock_);
        return closes_;
    }
    std::vector<uint64_t> Accepted() {
        std::lock_guard guard(lock_);
        return accepted_;
    }
    bool AllTerminated() {
        std::lock_guard guard(lock_);
        return terminated_;
    }

private:
    size_t TotalLocked() const {
        size_t total = 0;
        for (const auto& [serial, bytes] : received_) {
            total += bytes.size();
        }
        return total;
    }

    std::mutex lock_;
    std::condition_variable changed_;
    std::map<uint64_t, std::string> received_;
    std::vector<Read> reads_;
    std::vector<Close> closes_;
    std::vector<uint64_t> accepted_;
    std::atomic<bool> accept_{true};
    bool terminated_ = true;
};

}  // namespace ruzd::net::testing
