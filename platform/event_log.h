#pragma once

// The Windows event log as this platform keeps it. A report goes to syslog (tagged with the
// program's or its service's name and the pid, the event source leading the text when it is
// another name, "<source>: event <id>: <inserts>"; type 1 as an error, 2 as a warning, anything
// else as information; syslog_sender.h) and is appended to the log's store,
// <root>/eventlog/<log>.events, so that programs and tests can read it back. The Win32-shaped calls
// on top of it are in event_log_api.h.
//
// The store holds one record a line, its fields separated by TABs: record number (the last one's
// plus one), time generated, time written (UTC seconds since 1970), source, computer, event id,
// type, category, the user SID in hex, the count of strings, each string, the data in hex. In
// the texts '%', TAB and every byte below 0x20 are written as %XX. A record is appended in one
// write under an exclusive lock of the store, so reports of several processes never mix.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ruzd::platform {

inline constexpr uint16_t kEventTypeSuccess = 0;
inline constexpr uint16_t kEventTypeError = 1;
inline constexpr uint16_t kEventTypeWarning = 2;
inline constexpr uint16_t kEventTypeInformation = 4;

struct EventRecord {
    uint32_t record_number = 0;
    int64_t time_generated = 0;
    int64_t time_written = 0;
    std::string source;
    std::string computer;
    uint32_t event_id = 0;
    uint16_t type = 0;
    uint16_t category = 0;
    std::string user_sid;  // raw bytes
    std::vector<std::string> strings;
    std::string data;  // raw bytes
};

// The store of a log (<root>/eventlog/<log>.events).
std::filesystem::path EventLogStorePath(std::string_view log);
// The lock its writers take (the store's name and ".lock"): its owner's alone, as anyone who
// could open it could hold every report up. Readers of other accounts read the store unlocked
// and pass over a last line still being written.
std::filesystem::path EventLogLockPath(const std::filesystem::path& store);

// The store's line of a record (without its line end), and the record of a line.
std::string EventRecordLine(const EventRecord& record);
bool ParseEventRecordLine(std::string_view line, EventRecord& record);

// An open store of one log ("Application"), reached by an event source's name.
class EventLogWriter {
public:
    EventLogWriter() = default;
    ~EventLogWriter();
    EventLogWriter(const EventLogWriter&) = delete;
    EventLogWriter& operator=(const EventLogWriter&) = delete;

    // Opens the log's store, creating it when missing: 0, or the Win32 code of the failure.
    // Only a regular file is taken: a FIFO or anything else in its place is refused at once,
    // never waited on. A store that cannot be used is named on the error output (once an hour
    // at most for each store), and the writer still sends every report to syslog.
    uint32_t Open(std::string_view source, std::string_view log = "Application");
    // Writes one record (number and times are filled in): 0, or the Win32 code of the failure
    // (the store's own, from Open, when it could not be opened; kErrorInvalidHandle before
    // Open).
    uint32_t Report(uint16_t type, uint16_t category, uint32_t event_id,
                    const std::vector<std::string>& strings = {}, std::string_view data = {},
                    std::string_view user_sid = {});
    void Close();

private:
    bool opened_ = false;  // Open was called: reports go to syslog at least
    std::string source_;
    std::filesystem::path path_;
    int fd_ = -1;
    int lock_fd_ = -1;
    uint32_t store_error_ = 0;  // why the store could not be opened
};

// Reads a log's store in record order, forwards from the oldest or backwards from the newest.
class EventLogReader {
public:
    // Reads the store: 0, or the Win32 code of the failure (2 when there is none yet). Only a
    // regular file is read: anything else in its place is refused at once, never waited on.
    uint32_t Open(std::string_view log = "Application");
    // Reads a store at a host path (a backup of one).
    uint32_t OpenFile(const std::filesystem::path& path);
    uint32_t NumberOfRecords() const { return static_cast<uint32_t>(records_.size()); }
    // The oldest record's number, 0 when there is none.
    uint32_t OldestRecord() const;
    // The next record in the read's direction; false past the end.
    bool ReadNext(EventRecord& record);
    bool ReadPrevious(EventRecord& record);
    const std::vector<EventRecord>& records() const { return records_; }

private:
    std::vector<EventRecord> records_;
    size_t next_ = 0;    // the next forward read
    size_t before_ = 0;  // one past the next backward read
};

}  // namespace ruzd::platform
