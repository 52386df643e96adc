#pragma once

// The names of the Dialogic voice and ISDN call-control events, by event code, for the log lines
// of the event forwarding. Filled once at start-up, before any worker thread runs, and only read
// afterwards, so it needs no lock.

#include <cstdint>
#include <map>
#include <string>

namespace ruzd::node {

class IsdnEventNames {
public:
    // Fills the table; an existing entry is overwritten.
    void Populate();
    // The event's name, or "Unknown Event". The text stays valid while the table lives.
    const std::string& Name(int32_t code) const;
    size_t Size() const { return names_.size(); }

private:
    std::map<int32_t, std::string> names_;
};

}  // namespace ruzd::node
