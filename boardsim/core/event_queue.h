#pragma once

// The events of the simulated boards, in the order they happened. A thread that waits takes
// the oldest one, which becomes its current event until it waits again: its device, type and
// data stay readable until then.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace ruzd::boardsim {

struct Event {
    int32_t handle = 0;  // numbered from 1 in the order events are put
    int32_t device = 0;
    int32_t type = 0;
    std::vector<uint8_t> data;
    // What Global Call's meta event points to as the event's extension data (a parameter
    // block, or an extension id and its block); empty for none.
    std::vector<uint8_t> extension;
};

class EventQueue {
public:
    EventQueue() = default;
    ~EventQueue();

    // Queues an event and wakes one waiting thread; returns its handle.
    int32_t Put(int32_t device, int32_t type, std::vector<uint8_t> data,
                std::vector<uint8_t> extension = {});

    // Waits up to timeout_ms (a negative time-out waits without limit) for an event and makes
    // it the calling thread's current event. False when none came, and after Shutdown.
    bool Wait(int32_t timeout_ms);
    // From now on every wait lasts `timeout_ms` whatever it is asked for, as a library slow to
    // time out; none: as asked again.
    void OverrideWaits(std::optional<int32_t> timeout_ms);

    // The calling thread's current event; nullopt before its first event.
    std::optional<Event> Current() const;
    // The current event's data, valid until the thread waits again; null when it has none.
    void* CurrentData();
    // The current event's extension data, as long as its data; null when it has none.
    void* CurrentExtension();

    // The current event of any thread whose data the pointer is, as the functions that are
    // handed an event's data find it again; nullopt for any other pointer.
    std::optional<Event> CurrentWithData(const void* data) const;

    size_t Pending() const;

    // Wakes every waiting thread, which then returns without an event.
    void Shutdown();

private:
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Event> queue_;
    std::map<std::thread::id, Event> current_;
    int32_t next_handle_ = 1;
    bool shut_down_ = false;
    std::optional<int32_t> wait_override_;
};

}  // namespace ruzd::boardsim
