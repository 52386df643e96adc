#pragma once

// CServiceEventSource: the event source through which the service framework reports to the
// event log. It owns the handle its registration gives and deregisters it when it goes; reports
// of one source are serialised. A report keeps the handle, so that every later report is written
// too.

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/event_log_api.h"

namespace ruzd::app {

// The event id of a report that carries only a text.
inline constexpr uint32_t kTextEventId = 0x40000010;

class CServiceEventSource {
public:
    CServiceEventSource();
    CServiceEventSource(std::string server, std::string source, std::string log);
    CServiceEventSource(std::string server, std::string source);
    ~CServiceEventSource();
    CServiceEventSource(const CServiceEventSource&) = delete;
    CServiceEventSource& operator=(const CServiceEventSource&) = delete;

    // Deregisters a different held handle, then keeps `handle`.
    bool Attach(platform::EventSourceHandle handle);
    // Deregisters a held handle, then registers `source` on `server` ("" for this machine).
    bool Register(std::string_view server, std::string_view source);
    // True when no handle is held; else deregisters and gives the system's result.
    bool Deregister();
    bool IsRegistered() const;

    const std::string& ServerName() const { return server_; }
    const std::string& SourceName() const { return source_; }
    const std::string& LogName() const { return log_; }
    // Binds the object to another source name; a held registration stays until Register.
    void SetSourceName(std::string source);

    // Writes one event; false without writing anything when no handle is held.
    bool Report(uint16_t type, uint16_t category, uint32_t eventId, std::string_view userSid,
                const std::vector<std::string>& strings, std::string_view data);

    // Shorthands, each with category 0, no SID and no data. A number is written "%08X" when
    // `hex`, else "%u".
    bool Report(uint16_t type, uint32_t eventId);
    bool Report(uint16_t type, uint32_t eventId, std::string_view text);
    bool Report(uint16_t type, std::string_view text);
    bool Report(uint16_t type, uint32_t eventId, std::string_view text, std::string_view text2);
    bool Report(uint16_t type, uint32_t eventId, std::string_view text, std::string_view text2,
                std::string_view text3);
    bool Report(uint16_t type, uint32_t eventId, std::string_view text, std::string_view text2,
                uint32_t number, bool hex);
    bool Report(uint16_t type, uint32_t eventId, std::string_view text, uint32_t number, bool hex);
    bool Report(uint16_t type, uint32_t eventId, uint32_t number, bool hex);

private:
    mutable std::recursive_mutex lock_;
    platform::EventSourceHandle handle_ = nullptr;
    std::string server_;
    std::string source_;
    std::string log_ = "Application";
};

}  // namespace ruzd::app
