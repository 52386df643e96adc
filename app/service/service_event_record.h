#pragma once

// CServiceEventRecord: one event read from an event log, converted from the EVENTLOGRECORD
// layout that the log hands out (platform/event_log_api.h).

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruzd::app {

struct CServiceEventRecord {
    uint32_t recordNumber = 0;
    std::chrono::sys_seconds timeGenerated{};
    std::chrono::sys_seconds timeWritten{};
    uint32_t eventId = 0;
    uint16_t eventType = 0;
    uint16_t eventCategory = 0;
    std::string userSid;  // raw bytes
    std::vector<std::string> strings;
    std::string data;  // raw bytes
    std::string sourceName;
    std::string computerName;

    bool operator==(const CServiceEventRecord&) const = default;

    // The record at the start of `bytes`; none when they do not hold a whole, sound one.
    static std::optional<CServiceEventRecord> FromLogRecord(std::string_view bytes);
};

}  // namespace ruzd::app
