#pragma once

// The node's heartbeat to its watchdog. The watchdog counts down between heartbeats and acts
// when they stop; the node sends one at most every 20 seconds, as long as it wants to be
// watched, and keeps the status the watchdog answered.
//
// The heartbeat is a message with no data, sent to the watchdog's window. Its reply is waited
// for only up to a time-out, so a hung watchdog costs the sending thread that long and no more.

#include <atomic>
#include <cstdint>
#include <string>

namespace ruzd::node {

inline constexpr const char* kTormbelWindowClass = "Tormbel";
inline constexpr uint32_t WM_TORMBEL_HEARTBEAT = 0x160F;
inline constexpr int64_t kTormbelContactIntervalSeconds = 20;
inline constexpr uint32_t kTormbelReplyTimeoutMs = 2000;

class CTormbelNotifier {
public:
    CTormbelNotifier();

    // Contacts the watchdog unless it was contacted less than 20 seconds ago. Disabled: the
    // heartbeat is withheld (so that the watchdog's countdown runs out) and `reason`, when not
    // empty, is logged. The status is logged when it changes, and again on each contact while
    // it is anything but 0 or 1.
    void NotifyTormbel(bool disabled, const std::string& reason);

    int32_t Status() const { return status_.load(); }

    void SetReplyTimeoutMs(uint32_t timeoutMs) { reply_timeout_ms_ = timeoutMs; }

private:
    // The watchdog's answer, or kTormbelNotFound when there is none or it does not answer.
    int32_t SendHeartbeat() const;

    std::atomic<int32_t> status_;
    int64_t next_contact_ = 0;
    uint32_t reply_timeout_ms_ = kTormbelReplyTimeoutMs;
};

}  // namespace ruzd::node
