#pragma once

// The watchdog's event source in the Application event log: registered under HKLM once when
// it is made, then one report per life-cycle step and time-out, each logged in "Tormbel.log"
// first. Failures are logged there and go no further.

#include <cstdint>
#include <string>
#include <string_view>

namespace ruzd::watchdog {

inline constexpr const char* kEventSourceName = "Tormbel";
inline constexpr const char* kEventMessageFile = "TormbelEventLog.dll";
inline constexpr uint16_t kEventCategoryCount = 2;
inline constexpr const char* kEventLogKey =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";

// The watchdog's events.
inline constexpr uint32_t kEventStarted = 1001;
inline constexpr uint32_t kEventStopped = 1002;
inline constexpr uint32_t kEventPaused = 1003;
inline constexpr uint32_t kEventResumed = 1004;
inline constexpr uint32_t kEventLocalTimeout = 1005;
inline constexpr uint32_t kEventRemoteTimeout = 1006;
inline constexpr uint32_t kEventResumedAutomatically = 1007;

class CEventLog {
public:
    CEventLog(std::string_view source, uint16_t category_count, std::string_view message_file);
    virtual ~CEventLog() = default;

    // Creates (or opens) the source's key and writes its message files and counts.
    static void Register(std::string_view source, uint16_t category_count,
                         std::string_view message_file);

    void Report(uint16_t type, uint16_t category, uint32_t event_id);

    const std::string& source() const { return source_; }

private:
    std::string source_;
};

}  // namespace ruzd::watchdog
