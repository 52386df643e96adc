#include "watchdog/event_source.h"

#include "platform/event_log.h"
#include "platform/registry.h"
#include "platform/running_program.h"
#include "platform/text.h"
#include "watchdog/tormbel_log.h"

namespace ruzd::watchdog {
namespace {

// A value that cannot be stored (a registry file on a full disk) is logged, never taken as set.
void LogSetFailure(std::string_view name, uint32_t error) {
    if (error != 0) {
        WriteLogFormat("EventLog::Register: ERROR RegSetValueEx %.*s failed, Error=%u",
                       static_cast<int>(name.size()), name.data(), error);
    }
}

void SetStringValue(const platform::RegistryKey& key, std::string_view name,
                    const std::string& text) {
    const std::string bytes = platform::Utf8ToUtf16leBytes(text) + std::string(2, '\0');
    LogSetFailure(name, key.SetValue(name, platform::kRegExpandSz, bytes.data(),
                                     static_cast<uint32_t>(bytes.size())));
}

void SetNumberValue(const platform::RegistryKey& key, std::string_view name, uint32_t value) {
    LogSetFailure(name, key.SetValue(name, platform::kRegDword, &value, sizeof value));
}

}  // namespace

CEventLog::CEventLog(std::string_view source, uint16_t category_count,
                     std::string_view message_file)
    : source_(source) {
    Register(source, category_count, message_file);
}

void CEventLog::Register(std::string_view source, uint16_t category_count,
                         std::string_view message_file) {
    platform::RegistryKey key;
    if (const uint32_t error = platform::RegistryKey::LocalMachine().CreateSubKey(
            std::string(kEventLogKey) + std::string(source), platform::RegAccess::kAllAccess, &key);
        error != 0) {
        WriteLogFormat("EventLog::Register: ERROR RegCreateKeyEx failed, Error=%u", error);
        return;
    }
    std::filesystem::path path = platform::RunningProgramPath();
    if (path.empty()) {
        return;
    }
    if (!message_file.empty()) {
        path.replace_filename(std::string(message_file));
    }
    SetStringValue(key, "EventMessageFile", path.string());
    SetNumberValue(key, "TypesSupported", 7);
    if (category_count != 0) {
        SetStringValue(key, "CategoryMessageFile", path.string());
        SetNumberValue(key, "CategoryCount", category_count);
    }
}

void CEventLog::Report(uint16_t type, uint16_t category, uint32_t event_id) {
    WriteLogFormat("EventLog::Report: Reporting event, Type=%u, Category=%u, EventId=%u",
                   static_cast<unsigned>(type), static_cast<unsigned>(category), event_id);
    platform::EventLogWriter log;
    const uint32_t open_error = log.Open(source_);
    if (open_error != 0) {
        WriteLogFormat("EventLog::Report: ERROR OpenEventLog failed, Error=%u", open_error);
    }
    // Sent to syslog even when the store could not be opened.
    const uint32_t report_error = log.Report(type, category, event_id);
    if (report_error != 0 && open_error == 0) {
        WriteLogFormat("EventLog::Report: ERROR ReportEvent failed, Error=%u", report_error);
    }
}

}  // namespace ruzd::watchdog
