#pragma once

// CServiceEventLogReader: an owning wrapper of a handle that reads an event log (or a backup of
// one); destroying it closes the handle. Each read takes one record, first into a buffer of the
// record header's size and, when the log asks for more, again into one of the size it asks for.

#include <cstdint>
#include <string_view>

#include "app/service/service_event_record.h"
#include "platform/event.h"
#include "platform/event_log_api.h"

namespace ruzd::app {

class CServiceEventLogReader {
public:
    CServiceEventLogReader() = default;
    ~CServiceEventLogReader();
    CServiceEventLogReader(const CServiceEventLogReader&) = delete;
    CServiceEventLogReader& operator=(const CServiceEventLogReader&) = delete;

    bool Open(std::string_view server, std::string_view logName);
    bool OpenApplication(std::string_view server = {});
    bool OpenSystem(std::string_view server = {});
    bool OpenSecurity(std::string_view server = {});
    // A backup file, named in Windows form.
    bool OpenBackup(std::string_view server, std::string_view file);
    bool Close();
    bool Attach(platform::EventLogHandle handle);
    // Gives the handle away and forgets it.
    platform::EventLogHandle Detach();

    bool Backup(std::string_view file) const;
    bool Clear(std::string_view backupFile) const;
    bool GetNumberOfRecords(uint32_t& count) const;
    bool GetOldestRecord(uint32_t& oldest) const;
    // Sets `event` whenever a record is written, for as long as the handle is open.
    bool NotifyChange(platform::Event& event) const;

    bool ReadNext(CServiceEventRecord& record);
    bool ReadPrevious(CServiceEventRecord& record);

private:
    bool Read(uint32_t direction, CServiceEventRecord& record);

    platform::EventLogHandle handle_ = nullptr;
};

}  // namespace ruzd::app
