#include "app/service/service_event_log_reader.h"

#include <vector>

#include "platform/win_error.h"

namespace ruzd::app {

CServiceEventLogReader::~CServiceEventLogReader() {
    Close();
}

bool CServiceEventLogReader::Open(std::string_view server, std::string_view logName) {
    Close();
    handle_ = platform::OpenEventLog(server, logName);
    return handle_ != nullptr;
}

bool CServiceEventLogReader::OpenApplication(std::string_view server) {
    return Open(server, "Application");
}

bool CServiceEventLogReader::OpenSystem(std::string_view server) {
    return Open(server, "System");
}

bool CServiceEventLogReader::OpenSecurity(std::string_view server) {
    return Open(server, "Security");
}

bool CServiceEventLogReader::OpenBackup(std::string_view server, std::string_view file) {
    Close();
    handle_ = platform::OpenBackupEventLog(server, file);
    return handle_ != nullptr;
}

bool CServiceEventLogReader::Close() {
    if (handle_ == nullptr) {
        return true;
    }
    const bool closed = platform::CloseEventLog(handle_);
    handle_ = nullptr;
    return closed;
}

bool CServiceEventLogReader::Attach(platform::EventLogHandle handle) {
    if (handle_ != handle) {
        Close();
    }
    handle_ = handle;
    return true;
}

platform::EventLogHandle CServiceEventLogReader::Detach() {
    platform::EventLogHandle handle = handle_;
    handle_ = nullptr;
    return handle;
}

bool CServiceEventLogReader::Backup(std::string_view file) const {
    return platform::BackupEventLog(handle_, file);
}

bool CServiceEventLogReader::Clear(std::string_view backupFile) const {
    return platform::ClearEventLog(handle_, backupFile);
}

bool CServiceEventLogReader::GetNumberOfRecords(uint32_t& count) const {
    return platform::GetNumberOfEventLogRecords(handle_, &count);
}

bool CServiceEventLogReader::GetOldestRecord(uint32_t& oldest) const {
    return platform::GetOldestEventLogRecord(handle_, &oldest);
}

bool CServiceEventLogReader::NotifyChange(platform::Event& event) const {
    return platform::NotifyChangeEventLog(handle_, &event);
}

bool CServiceEventLogReader::ReadNext(CServiceEventRecord& record) {
    return Read(platform::kEventLogForwardsRead, record);
}

bool CServiceEventLogReader::ReadPrevious(CServiceEventRecord& record) {
    return Read(platform::kEventLogBackwardsRead, record);
}

bool CServiceEventLogReader::Read(uint32_t direction, CServiceEventRecord& record) {
    const uint32_t flags = platform::kEventLogSequentialRead | direction;
    std::vector<char> buffer(platform::kEventLogRecordHeaderSize);
    uint32_t read = 0;
    uint32_t needed = 0;
    bool done = platform::ReadEventLog(handle_, flags, 0, buffer.data(),
                                       static_cast<uint32_t>(buffer.size()), &read, &needed);
    if (!done && platform::GetLastError() == platform::kErrorInsufficientBuffer) {
        buffer.assign(needed, '\0');
        done = platform::ReadEventLog(handle_, flags, 0, buffer.data(), needed, &read, &needed);
    }
    if (!done) {
        return false;
    }
    const std::optional<CServiceEventRecord> converted =
        CServiceEventRecord::FromLogRecord(std::string_view(buffer.data(), read));
    if (!converted) {
        platform::SetLastError(platform::kErrorEventlogFileCorrupt);
        return false;
    }
    record = *converted;
    return true;
}

}  // namespace ruzd::app
