#pragma once

// A thread of the test process that takes posted messages, as the application thread does, and
// counts those of each number that came with both parameters 0 (the form of every notice).

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>

#include "platform/message_queue.h"
#include "platform/thread.h"
#include "testing/eventually.h"

namespace ruzd::testing {

class ListenerThread {
public:
    ListenerThread() : thread_("listener") {
        thread_.Start([this] {
            platform::RunMessageLoop([this](platform::Message& message) {
                if (message.wparam == 0 && message.lparam == 0) {
                    std::lock_guard lock(mutex_);
                    ++counts_[message.id];
                }
            });
        });
    }
    ~ListenerThread() { Stop(); }
    ListenerThread(const ListenerThread&) = delete;
    ListenerThread& operator=(const ListenerThread&) = delete;

    // Ends the thread; its id then names no queue.
    void Stop() {
        if (thread_.id() != 0) {
            platform::PostThreadMessage(thread_.id(), platform::kWmQuit);
        }
        thread_.Join();
    }

    uint32_t id() const { return thread_.id(); }
    int Count(uint32_t message) const {
        std::lock_guard lock(mutex_);
        const auto it = counts_.find(message);
        return it != counts_.end() ? it->second : 0;
    }
    // Waits until `count` messages of the number arrived; false when the patience ran out.
    bool WaitFor(uint32_t message, int count) const {
        return Eventually([&] { return Count(message) >= count; });
    }
    // Waits until the messages posted so far have been taken: a probe posted now comes last.
    bool Drain() {
        const uint32_t probe = platform::kWmUser + 0x3FF;
        const int seen = Count(probe);
        platform::PostThreadMessage(id(), probe);
        return WaitFor(probe, seen + 1);
    }

private:
    platform::Thread thread_;
    mutable std::mutex mutex_;
    std::map<uint32_t, int> counts_;
};

}  // namespace ruzd::testing
