// The event log's Win32-shaped calls: the log a source reports into, records in the
// EVENTLOGRECORD layout, backups, clearing, change notices and the syslog line of a report.

#include "platform/event_log_api.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/process_identity.h"
#include "platform/reg_value.h"
#include "platform/registry.h"
#include "platform/regular_file.h"
#include "platform/service_dispatcher.h"
#include "platform/service_record.h"
#include "platform/syslog_sender.h"
#include "platform/text.h"
#include "platform/win_error.h"
#include "platform/win_path.h"
#include "testing/os_for_tests.h"
#include "testing/scoped_environment.h"
#include "testing/syslog_line.h"
#include "testing/temp_root.h"
#include "testing/unix_sockets.h"

namespace ruzd::platform {
namespace {

uint32_t Field(const std::vector<char>& bytes, size_t offset) {
    return LittleEndian32(std::string_view(bytes.data(), bytes.size()), offset);
}

void ListSource(std::string_view log, const std::vector<std::string>& sources) {
    RegistryKey key;
    ASSERT_EQ(RegistryKey::LocalMachine().CreateSubKey(
                  std::string("SYSTEM\\CurrentControlSet\\Services\\EventLog\\") + std::string(log),
                  RegAccess::kAllAccess, &key),
              kErrorSuccess);
    const std::string bytes = RegMultiSzBytes(sources);
    key.SetValue("Sources", kRegMultiSz, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

void Report(std::string_view source, uint32_t id, const std::vector<std::string>& strings = {}) {
    EventSourceHandle handle = RegisterEventSource("", source);
    ASSERT_NE(handle, nullptr) << GetLastError();
    EXPECT_TRUE(ReportEvent(handle, kEventTypeError, 3, id, std::string("\1\2\3", 3), strings,
                            std::string("\xAA\xBB", 2)));
    EXPECT_TRUE(DeregisterEventSource(handle));
}

TEST(EventLogApiTest, ASourceReportsIntoTheLogThatListsIt) {
    testing::TempRoot root;
    ASSERT_EQ(EnsureEventLogKeys(), kErrorSuccess);
    ListSource("System", {"Other", "RUZDNODE"});
    EXPECT_EQ(EventLogOfSource("RuzdNode"), "System");
    EXPECT_EQ(EventLogOfSource("Unknown"), "Application");
    Report("RuzdNode", 10);
    Report("Unknown", 11);
    EventLogReader system;
    ASSERT_EQ(system.Open("System"), kErrorSuccess);
    ASSERT_EQ(system.NumberOfRecords(), 1u);
    EXPECT_EQ(system.records()[0].event_id, 10u);
    EventLogReader application;
    ASSERT_EQ(application.Open("Application"), kErrorSuccess);
    ASSERT_EQ(application.NumberOfRecords(), 1u);
    EXPECT_EQ(application.records()[0].event_id, 11u);

    EXPECT_EQ(RegisterEventSource("far-away-host", "RuzdNode"), nullptr);
    EXPECT_EQ(GetLastError(), kErrorRpcServerUnavailable);
    EXPECT_EQ(OpenEventLog("\\\\far-away-host", "Application"), nullptr);
    EXPECT_EQ(GetLastError(), kErrorRpcServerUnavailable);
}

TEST(EventLogApiTest, RecordsComeInTheirLayoutOneBufferAtATime) {
    testing::TempRoot root;
    Report("Ruzd", 1, {"first", "zweite"});
    Report("Ruzd", 2);
    Report("Ruzd", 3);
    EventLogHandle log = OpenEventLog("", "Application");
    ASSERT_NE(log, nullptr);
    uint32_t count = 0;
    uint32_t oldest = 0;
    ASSERT_TRUE(GetNumberOfEventLogRecords(log, &count));
    ASSERT_TRUE(GetOldestEventLogRecord(log, &oldest));
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(oldest, 1u);

    const uint32_t forwards = kEventLogSequentialRead | kEventLogForwardsRead;
    std::vector<char> buffer(kEventLogRecordHeaderSize);
    uint32_t read = 0;
    uint32_t needed = 0;
    EXPECT_FALSE(ReadEventLog(log, forwards, 0, buffer.data(), 56, &read, &needed));
    EXPECT_EQ(GetLastError(), kErrorInsufficientBuffer);
    EXPECT_EQ(read, 0u);
    ASSERT_GT(needed, kEventLogRecordHeaderSize);
    buffer.assign(needed, '\0');
    ASSERT_TRUE(ReadEventLog(log, forwards, 0, buffer.data(), needed, &read, &needed));
    EXPECT_EQ(read, buffer.size());
    EXPECT_EQ(Field(buffer, 0), read);
    EXPECT_EQ(Field(buffer, read - 4), read);
    EXPECT_EQ(Field(buffer, 4), kEventLogRecordSignature);
    EXPECT_EQ(Field(buffer, 8), 1u);
    EXPECT_EQ(Field(buffer, 20), 1u);
    EXPECT_EQ(buffer[24], kEventTypeError);
    EXPECT_EQ(buffer[26], 2);  // strings
    EXPECT_EQ(buffer[28], 3);  // category
    EXPECT_EQ(Utf16leBytesToUtf8(std::string_view(buffer.data() + 56, 8)), "Ruzd");
    EXPECT_EQ(Field(buffer, 40), 3u);
    EXPECT_EQ(Field(buffer, 44) % 4, 0u);
    EXPECT_EQ(std::string(buffer.data() + Field(buffer, 44), 3), "\1\2\3");
    EXPECT_EQ(Utf16leBytesToUtf8(std::string_view(buffer.data() + Field(buffer, 36), 10)), "first");
    EXPECT_EQ(std::string(buffer.data() + Field(buffer, 52), Field(buffer, 48)), "\xAA\xBB");

    // A large buffer takes every record that fits; then the end.
    std::vector<char> large(4096);
    ASSERT_TRUE(ReadEventLog(log, forwards, 0, large.data(), 4096, &read, &needed));
    EXPECT_EQ(Field(large, 8), 2u);
    EXPECT_EQ(Field(large, Field(large, 0) + 8), 3u);
    EXPECT_EQ(read, Field(large, 0) + Field(large, Field(large, 0)));
    EXPECT_FALSE(ReadEventLog(log, forwards, 0, large.data(), 4096, &read, &needed));
    EXPECT_EQ(GetLastError(), kErrorHandleEof);
    // Backwards from where the reads ended, and from a record sought.
    const uint32_t backwards = kEventLogSequentialRead | kEventLogBackwardsRead;
    ASSERT_TRUE(ReadEventLog(log, backwards, 0, large.data(), 4096, &read, &needed));
    EXPECT_EQ(Field(large, 8), 2u);
    ASSERT_TRUE(ReadEventLog(log, kEventLogSeekRead | kEventLogForwardsRead, 3, large.data(), 4096,
                             &read, &needed));
    EXPECT_EQ(Field(large, 8), 3u);
    EXPECT_FALSE(ReadEventLog(log, kEventLogSeekRead | kEventLogForwardsRead, 9, large.data(), 4096,
                              &read, &needed));
    EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
    EXPECT_FALSE(ReadEventLog(log, kEventLogSequentialRead, 0, large.data(), 4096, &read, &needed));
    EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
    EXPECT_TRUE(CloseEventLog(log));
    EXPECT_FALSE(CloseEventLog(log));
}

TEST(EventLogApiTest, ALogIsBackedUpClearedAndWatched) {
    testing::TempRoot root;
    Report("Ruzd", 1);
    Report("Ruzd", 2);
    EventLogHandle log = OpenEventLog("", "Application");
    ASSERT_NE(log, nullptr);
    std::filesystem::create_directories(root.path() / "drives" / "c" / "Backup");
    ASSERT_TRUE(BackupEventLog(log, "C:\\Backup\\before.evt")) << GetLastError();
    EXPECT_FALSE(BackupEventLog(log, "C:\\Backup\\before.evt"));
    EXPECT_EQ(GetLastError(), kErrorAlreadyExists);
    ASSERT_TRUE(ClearEventLog(log, "C:\\Backup\\cleared.evt"));
    uint32_t count = 9;
    ASSERT_TRUE(GetNumberOfEventLogRecords(log, &count));
    EXPECT_EQ(count, 0u);
    EventLogHandle backup = OpenBackupEventLog("", "c:\\backup\\CLEARED.evt");
    ASSERT_NE(backup, nullptr) << GetLastError();
    ASSERT_TRUE(GetNumberOfEventLogRecords(backup, &count));
    EXPECT_EQ(count, 2u);
    EXPECT_FALSE(ClearEventLog(backup, ""));
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
    EXPECT_EQ(OpenBackupEventLog("", "C:\\Backup\\missing.evt"), nullptr);
    EXPECT_EQ(GetLastError(), kErrorFileNotFound);
    CloseEventLog(backup);

    Event changed(true);
    ASSERT_TRUE(NotifyChangeEventLog(log, &changed));
    EXPECT_FALSE(changed.IsSet());
    Report("Ruzd", 3);
    EXPECT_EQ(changed.Wait(60000), kWaitObject0);
    // Numbering starts again in a cleared log.
    EventLogReader reader;
    ASSERT_EQ(reader.Open(), kErrorSuccess);
    ASSERT_EQ(reader.NumberOfRecords(), 1u);
    EXPECT_EQ(reader.records()[0].record_number, 1u);
    CloseEventLog(log);
}

TEST(EventLogApiTest, AReportIsOneSyslogLineTaggedWithTheProgramAndItsPid) {
    testing::TempRoot root;
    testing::ScopedEnvironment environment;
    environment.Unset(kServiceNameVariable);
    testing::DatagramSink syslog(root.path() / "log.socket");
    ASSERT_TRUE(syslog.bound());
    environment.Set(kSyslogSocketVariable, syslog.path().string());
    // A source of several words leads the text; the tag is the program's one word.
    Report("Ruzd Node", 0xC0000007, {"a text"});
    std::optional<testing::SyslogLine> line = testing::ParseSyslogLine(
        syslog.Receive(std::chrono::seconds(60)).value_or("(nothing came)"));
    ASSERT_TRUE(line);
    EXPECT_EQ(line->priority, 11);
    EXPECT_EQ(line->tag, "platform_event_log_api_test");
    EXPECT_EQ(line->pid, CurrentProcessId());
    EXPECT_EQ(line->message, "Ruzd Node: event 7: a text");
    // Run for a service, the process's tag is the service's name; a source of that name is not
    // said twice.
    environment.Set(kServiceNameVariable, "Ruzd Node");
    Report("Ruzd_Node", 0x40000001, {});
    line = testing::ParseSyslogLine(
        syslog.Receive(std::chrono::seconds(60)).value_or("(nothing came)"));
    ASSERT_TRUE(line);
    EXPECT_EQ(line->tag, "Ruzd_Node");
    EXPECT_EQ(line->message, "event 1");

    EXPECT_EQ(SyslogIdentOf("Orvanthella Pelwix Service: [x]"), "Orvanthella_Pelwix_Service___x_");
    EXPECT_EQ(SyslogIdentOf(std::string(40, 'a')), std::string(32, 'a'));
    EXPECT_EQ(SyslogIdentOf(""), "ruzd");
    EXPECT_EQ(SyslogDatagram(SyslogSeverity::kInformation, "Jan  2 03:04:05", "x", 12, "m"),
              "<14>Jan  2 03:04:05 x[12]: m");
}

// A FIFO in the store's place that nobody reads, full: a record written there would wait for
// ever under the store's lock (and under the debug log's, for its alert). It is named once on
// the error output however many sources and reports meet it, every report still reaches
// syslog and fails with the store's error, and readers, backups and clears pass it by at once.
TEST(EventLogApiTest, AStoreThatIsAFullFifoIsNamedOnceAndPassedByWhileSyslogGetsTheReports) {
    testing::TempRoot root;
    testing::ScopedEnvironment environment;
    environment.Unset(kServiceNameVariable);
    testing::DatagramSink syslog(root.path() / "log.socket");
    ASSERT_TRUE(syslog.bound());
    environment.Set(kSyslogSocketVariable, syslog.path().string());
    const std::filesystem::path store = EventLogStorePath("Application");
    std::filesystem::create_directories(store.parent_path());
    ruzd::testing::FullFifo fifo(store);
    ASSERT_TRUE(fifo.valid());

    ::testing::internal::CaptureStderr();
    const uint32_t not_a_file = WinErrorFromErrno(kNotARegularFileError);
    for (const char* source : {"Tormbel", "Other", "Tormbel"}) {
        EventSourceHandle handle = RegisterEventSource("", source);
        ASSERT_NE(handle, nullptr) << source;
        EXPECT_FALSE(ReportEvent(handle, kEventTypeError, 0, 7, {}, {"lost"}, {}));
        EXPECT_EQ(GetLastError(), not_a_file);
        const std::optional<std::string> line = syslog.Receive(std::chrono::seconds(60));
        ASSERT_TRUE(line);
        EXPECT_THAT(*line, ::testing::EndsWith("event 7: lost")) << source;
        EXPECT_TRUE(DeregisterEventSource(handle));
    }
    const std::string said = ::testing::internal::GetCapturedStderr();
    const std::string named =
        "Event log " + store.string() +
        " cannot be opened (not a regular file): its events go to syslog only\n";
    EXPECT_NE(said.find(named), std::string::npos) << said;
    EXPECT_EQ(said.find(named), said.rfind(named)) << said;

    EventLogReader reader;
    EXPECT_EQ(reader.Open(), not_a_file);
    EventLogHandle log = OpenEventLog("", "Application");
    ASSERT_NE(log, nullptr);
    uint32_t count = 1;
    EXPECT_TRUE(GetNumberOfEventLogRecords(log, &count));
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(BackupEventLog(log, "C:\\backup.events"));
    EXPECT_EQ(GetLastError(), not_a_file);
    EXPECT_FALSE(std::filesystem::exists(MapWindowsPath("C:\\backup.events")));
    EXPECT_FALSE(ClearEventLog(log, ""));
    EXPECT_EQ(GetLastError(), not_a_file);
    EXPECT_TRUE(CloseEventLog(log));
}

}  // namespace
}  // namespace ruzd::platform
