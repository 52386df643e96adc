#pragma once

// What the simulated Aculab cards report without being asked for one thing: the events of the
// calls (each with the state it reports, a value some states carry and, for the call details,
// the Prosody stream and slot that carry the call), the system notifications (a card added or
// removed, the resource manager, IP cards registered) and, per IP card, its notification, its
// interface statistics and its state text. The control socket queues and sets them; the
// libraries take them.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace ruzd::boardsim {

class AculabEvents {
public:
    struct CallEvent {
        int32_t handle = 0;
        int32_t state = 0;
        int32_t value = 0;
    };

    // What call_details tells of a call: the last details an event of it brought.
    struct CallDetails {
        int32_t valid = 0;
        int32_t stream = 0;
        int32_t slot = 0;
    };

    struct SystemNotification {
        uint32_t kind = 0;
        std::string serial;
    };

    // Six counters: packets, discards and errors, in, then out.
    struct Statistics {
        uint32_t counters[6] = {};
    };

    ~AculabEvents();

    // Queues a call's event, and the call's details when it brings them.
    void PutCallEvent(const CallEvent& event, const std::optional<CallDetails>& details);
    // Waits up to timeout_ms for a call event and takes it; none after the time-out.
    std::optional<CallEvent> WaitCallEvent(int32_t timeout_ms);
    CallDetails DetailsOf(int32_t handle) const;

    void PutSystemNotification(const SystemNotification& notification);
    std::optional<SystemNotification> TakeSystemNotification();

    // An IP card's notification is answered once; its statistics and state every time.
    void SetNotification(const std::string& serial, int32_t value);
    int32_t TakeNotification(const std::string& serial);
    void SetStatistics(const std::string& serial, const Statistics& statistics);
    Statistics StatisticsOf(const std::string& serial) const;
    void SetStatus(const std::string& serial, const std::string& text);
    // "In service" unless set.
    std::string StatusOf(const std::string& serial) const;

    // Wakes every waiting thread, which then returns without an event.
    void Shutdown();

private:
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    bool shut_down_ = false;
    std::deque<CallEvent> call_events_;
    std::map<int32_t, CallDetails> details_;
    std::deque<SystemNotification> notifications_;
    std::map<std::string, int32_t> card_notifications_;
    std::map<std::string, Statistics> statistics_;
    std::map<std::string, std::string> statuses_;
};

}  // namespace ruzd::boardsim
