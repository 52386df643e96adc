#include "testing/event_store.h"

#include "platform/event_log.h"

namespace ruzd::testing {

std::vector<std::pair<uint32_t, std::string>> StoredEventsOf(std::string_view source) {
    platform::EventLogReader reader;
    std::vector<std::pair<uint32_t, std::string>> events;
    if (reader.Open("Application") != 0) {
        return events;
    }
    for (const platform::EventRecord& record : reader.records()) {
        if (record.source == source) {
            events.emplace_back(record.event_id,
                                record.strings.empty() ? "" : record.strings.front());
        }
    }
    return events;
}

}  // namespace ruzd::testing
