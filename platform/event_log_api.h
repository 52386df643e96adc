#pragma once

// The event log's Win32 calls on top of the stores of event_log.h: event sources that report
// into the log the registry names for them (the log under
// HKLM\SYSTEM\CurrentControlSet\Services\EventLog whose "Sources" lists the source, else
// "Application"), and reading handles that hand records out in the EVENTLOGRECORD layout, clear
// and back up a log, open a backup and tell of new records. Every call returns as Win32 does: a
// null handle or false with the thread's last error set; a server other than this machine is
// kErrorRpcServerUnavailable.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/event.h"
#include "platform/event_log.h"

namespace ruzd::platform {

struct EventSourceData;
using EventSourceHandle = EventSourceData*;
struct EventLogData;
using EventLogHandle = EventLogData*;

// ReadEventLog's flags: one way of reading and one direction.
inline constexpr uint32_t kEventLogSequentialRead = 0x1;
inline constexpr uint32_t kEventLogSeekRead = 0x2;
inline constexpr uint32_t kEventLogForwardsRead = 0x4;
inline constexpr uint32_t kEventLogBackwardsRead = 0x8;

// The EVENTLOGRECORD layout: a 56-byte header of 32-bit fields (length, the signature, record
// number, the two times in seconds since 1970, event id; then 16-bit type, string count,
// category and reserved flags; then closing record number, string offset, SID length and
// offset, data length and offset), the source and computer names in UTF-16LE with their nulls,
// the SID (at a 4-byte boundary), the strings, the data, padding to 4 bytes and the length again.
inline constexpr uint32_t kEventLogRecordHeaderSize = 56;
inline constexpr uint32_t kEventLogRecordSignature = 0x654C664C;  // "LfLe"
std::string EventLogRecordBytes(const EventRecord& record);

// The log a source reports into.
std::string EventLogOfSource(std::string_view source);

EventSourceHandle RegisterEventSource(std::string_view server, std::string_view source);
bool DeregisterEventSource(EventSourceHandle source);
bool ReportEvent(EventSourceHandle source, uint16_t type, uint16_t category, uint32_t event_id,
                 std::string_view user_sid, const std::vector<std::string>& strings,
                 std::string_view data);

// A log the registry does not know is read as "Application", as Windows does.
EventLogHandle OpenEventLog(std::string_view server, std::string_view log);
// A backup file, named in Windows form: kErrorFileNotFound when there is none.
EventLogHandle OpenBackupEventLog(std::string_view server, std::string_view file);
bool CloseEventLog(EventLogHandle log);

// Reads as many whole records as `size` bytes hold, in the handle's direction from where the
// last read ended (a seek read from record `record_offset`). kErrorInsufficientBuffer with
// `bytes_needed` set when the next record does not fit; kErrorHandleEof past the last record.
bool ReadEventLog(EventLogHandle log, uint32_t flags, uint32_t record_offset, void* buffer,
                  uint32_t size, uint32_t* bytes_read, uint32_t* bytes_needed);
bool GetNumberOfEventLogRecords(EventLogHandle log, uint32_t* count);
bool GetOldestEventLogRecord(EventLogHandle log, uint32_t* oldest);

// Writes the log's records to a new file (kErrorAlreadyExists when it exists).
bool BackupEventLog(EventLogHandle log, std::string_view file);
// Empties the log, first backing it up when a file is named; a backup's handle cannot clear.
bool ClearEventLog(EventLogHandle log, std::string_view backup_file);
// Sets `event` whenever a record is written to the log, for as long as the handle is open.
bool NotifyChangeEventLog(EventLogHandle log, Event* event);

}  // namespace ruzd::platform
