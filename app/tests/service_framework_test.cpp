// The service framework's parts without a running service: the command-line record, status
// reporting and control handling with a status sink of the test's own, the service's settings,
// the event source with its registry keys, the event-log reader and the handle wrappers.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/service/event_source_registry.h"
#include "app/service/nt_service.h"
#include "app/service/nt_service_command_line_info.h"
#include "app/service/service_control_manager_handle.h"
#include "app/service/service_event_log_reader.h"
#include "app/service/service_event_source.h"
#include "app/service/service_handle.h"
#include "platform/reg_value.h"
#include "platform/registry.h"
#include "platform/running_program.h"
#include "platform/service_api_extensions.h"
#include "platform/win_error.h"
#include "testing/scoped_environment.h"
#include "testing/temp_root.h"

namespace ruzd::app {
namespace {

using platform::ServiceStatus;

CNTServiceCommandLineInfo Parse(const std::vector<std::string>& arguments) {
    CNTService service("Ruzd", "Ruzd display", platform::kServiceAcceptStop, "");
    CNTServiceCommandLineInfo info;
    service.ParseCommandLine(info, arguments);
    return info;
}

TEST(ServiceCommandLineTest, VerbsSwitchesAndSettings) {
    CNTServiceCommandLineInfo info = Parse({"-install", "/AUTO", "-silent"});
    EXPECT_EQ(info.action, kServiceActionInstall);
    EXPECT_TRUE(info.autoStart);
    EXPECT_TRUE(info.silent);
    EXPECT_FALSE(info.delayedStart);
    EXPECT_EQ(Parse({"/T:20000"}).timeoutMs, 20000u);
    EXPECT_EQ(Parse({"-T:"}).timeoutMs, 5000u);
    EXPECT_EQ(Parse({"-T:12x"}).timeoutMs, 12u);
    EXPECT_EQ(Parse({"-sn:MyNode"}).serviceName, "MyNode");
    info = Parse({"-SDN:Node Display", "-sd:About it", "-SCL:-service -d", "-U:.\\bob", "-P:pw"});
    EXPECT_EQ(info.displayName, "Node Display");
    EXPECT_EQ(info.description, "About it");
    EXPECT_EQ(info.serviceCommandLine, "-service -d");
    EXPECT_EQ(info.userName, ".\\bob");
    EXPECT_EQ(info.password, "pw");
    EXPECT_EQ(Parse({"-start", "-stop"}).action, kServiceActionStop);
    EXPECT_EQ(Parse({"-stop", "-remove"}).action, kServiceActionUninstall);
    EXPECT_EQ(Parse({"-DEBUG"}).action, kServiceActionConsole);
    EXPECT_EQ(Parse({"/?"}).action, kServiceActionHelp);
    EXPECT_EQ(Parse({"install", "-unknown"}).action, kServiceActionNone);
    info = Parse({"-delayedstart"});
    EXPECT_TRUE(info.autoStart && info.delayedStart);
}

TEST(ServiceCommandLineTest, FailureActionsMayBeNumberedFromZeroOrOne) {
    EXPECT_EQ(Parse({"-FAILUREACTION1:restart", "-failureaction2:reboot"}).failureActions,
              (std::vector<std::string>{"restart", "reboot"}));
    EXPECT_EQ(
        Parse({"-FAILUREACTION0:restart", "-FAILUREACTION1:C:\\x.exe /a", "word"}).failureActions,
        (std::vector<std::string>{"restart", "C:\\x.exe /a"}));
    EXPECT_EQ(Parse({"-FAILUREACTION2:reboot"}).failureActions,
              (std::vector<std::string>{"", "reboot"}));
    // A negative, missing or unbounded number drops the flag.
    EXPECT_TRUE(Parse({"-FAILUREACTION-1:restart", "-FAILUREACTION:restart",
                       "-FAILUREACTION99999999999:restart", "-FAILUREACTION1x:restart"})
                    .failureActions.empty());
}

// A status handle that keeps what it is given.
class RecordingSink : public platform::ServiceStatusReporter {
public:
    bool Report(const ServiceStatus& status) override {
        reports.push_back(status);
        return true;
    }
    std::vector<ServiceStatus> reports;
};

class RecordingService : public CNTService {
public:
    RecordingService() : CNTService("RuzdRecord", "Ruzd record", 5, "") {}
    void Use(platform::ServiceStatusHandle sink) { SetStatusHandle(sink); }
    void Refuse(uint32_t control) { refusedControl_ = control; }
    void OnUserDefinedRequest(uint32_t control) override { userControls.push_back(control); }
    uint32_t OnDeviceEvent(uint32_t eventType, void*) override { return eventType + 1; }
    std::vector<uint32_t> userControls;
};

TEST(ServiceStatusTest, StatusesFollowTheirRules) {
    testing::TempRoot root;
    RecordingService service;
    EXPECT_FALSE(service.ReportStatus(platform::kServiceRunning));
    RecordingSink sink;
    service.Use(&sink);

    ASSERT_TRUE(service.ReportStatus(platform::kServiceStartPending, 1, 3000));
    EXPECT_EQ(sink.reports.back(), (ServiceStatus{16, 2, 0, 0, 0, 1, 3000}));
    ASSERT_TRUE(service.ReportStatus(platform::kServiceRunning, 7, 5000));
    EXPECT_EQ(sink.reports.back(), (ServiceStatus{16, 4, 5, 0, 0, 0, 0}));
    // Pending reports no controls but keeps those stored for the next running report.
    ASSERT_TRUE(service.ReportStatus(platform::kServiceStopPending, 2, 1100, 1));
    EXPECT_EQ(sink.reports.back(), (ServiceStatus{16, 3, 0, 0, 0, 2, 1100}));
    ASSERT_TRUE(service.ReportStatus(platform::kServiceRunning));
    EXPECT_EQ(sink.reports.back(), (ServiceStatus{16, 4, 1, 0, 0, 0, 0}));
    ASSERT_TRUE(service.SetStatus(platform::kServicePausePending, kKeepStatusValue,
                                  kKeepStatusValue, kKeepStatusValue, 5, 6));
    EXPECT_EQ(sink.reports.back(), (ServiceStatus{16, 6, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(service.SetStatus(platform::kServiceStopped, 3, 4, kKeepStatusValue, 1067, 9));
    EXPECT_EQ(sink.reports.back(), (ServiceStatus{16, 1, 1, 1067, 9, 0, 0}));
    EXPECT_EQ(service.CurrentState(), platform::kServiceStopped);
}

TEST(ServiceStatusTest, ControlsReachTheirOperationsAndReportTheStatusAgain) {
    testing::TempRoot root;
    RecordingService service;
    RecordingSink sink;
    service.Use(&sink);
    service.ReportStatus(platform::kServiceRunning);
    ASSERT_TRUE(service.RegisterEventSource());

    EXPECT_EQ(service.HandleControl(200, 0, nullptr), 0u);
    EXPECT_EQ(service.userControls, std::vector<uint32_t>{200});
    EXPECT_EQ(sink.reports.size(), 2u);
    EXPECT_EQ(service.HandleControl(platform::kServiceControlDeviceEvent, 41, nullptr), 42u);
    service.Refuse(130);
    EXPECT_EQ(service.HandleControl(130, 0, nullptr), platform::kErrorCallNotImplemented);
    EXPECT_EQ(sink.reports.size(), 3u);
    EXPECT_EQ(service.HandleControl(platform::kServiceControlStop, 0, nullptr), 0u);
    EXPECT_EQ(service.HandleControl(platform::kServiceControlPause, 0, nullptr), 0u);
    // The base operations change no state; they tell the event log.
    EXPECT_EQ(sink.reports.back().current_state, platform::kServiceRunning);
    CServiceEventLogReader reader;
    ASSERT_TRUE(reader.OpenApplication());
    CServiceEventRecord record;
    ASSERT_TRUE(reader.ReadNext(record));
    EXPECT_EQ(record.eventId, kEventServiceStopped);
    EXPECT_EQ(record.sourceName, "Ruzd record");
    EXPECT_EQ(record.strings, std::vector<std::string>{"Ruzd record"});
    ASSERT_TRUE(reader.ReadNext(record));
    EXPECT_EQ(record.eventId, kEventServicePaused);
    EXPECT_FALSE(reader.ReadNext(record));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorHandleEof);
    ASSERT_TRUE(reader.ReadPrevious(record));
    EXPECT_EQ(record.eventId, kEventServiceStopped);

    EXPECT_EQ(CNTService::ConsoleArguments({"prog", "-DEBUG", "/App", "-debugx", "-console"}),
              (std::vector<std::string>{"prog", "-debugx"}));
    EXPECT_FALSE(service.GetErrorText(platform::kErrorServiceDoesNotExist).empty());
    EXPECT_EQ(service.GetErrorText(99999), "");
}

TEST(ServiceProfileTest, SettingsLiveUnderTheServicesParameters) {
    testing::TempRoot root;
    CNTService service("RuzdProfile", "Ruzd profile", 1, "");
    uint32_t error = 0;
    EXPECT_EQ(service.GetProfileInt("Ports", "Local", 9070, &error), 9070u);
    EXPECT_EQ(error, platform::kErrorFileNotFound);
    EXPECT_EQ(service.GetProfileString("Ports", "Name", "none", &error), "none");
    EXPECT_EQ(error, platform::kErrorFileNotFound);

    EXPECT_TRUE(service.WriteProfileInt("Ports", "Local", 9170, &error));
    EXPECT_EQ(error, 0u);
    EXPECT_TRUE(service.WriteProfileString("Ports", "Name", "node"));
    EXPECT_TRUE(service.WriteProfileStringArray("Ports", "List", {"a", "b"}));
    EXPECT_TRUE(service.WriteProfileBinary("Ports", "Raw", std::string("\0\1", 2)));
    EXPECT_EQ(service.GetProfileInt("Ports", "Local", 0, &error), 9170u);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(service.GetProfileString("Ports", "Name", ""), "node");
    std::vector<std::string> list{"stale"};
    EXPECT_TRUE(service.GetProfileStringArray("Ports", "List", list));
    EXPECT_EQ(list, (std::vector<std::string>{"a", "b"}));
    std::string bytes;
    EXPECT_TRUE(service.GetProfileBinary("Ports", "Raw", bytes));
    EXPECT_EQ(bytes, std::string("\0\1", 2));
    // The type must fit: a string is no number.
    EXPECT_EQ(service.GetProfileInt("Ports", "Name", 5, &error), 5u);
    EXPECT_EQ(error, platform::kErrorInvalidData);

    platform::RegistryKey key;
    EXPECT_EQ(platform::RegistryKey::LocalMachine().OpenSubKey(
                  "SYSTEM\\CurrentControlSet\\Services\\RuzdProfile\\Parameters\\Ports",
                  platform::RegAccess::kRead, &key),
              platform::kErrorSuccess);
    EXPECT_TRUE(service.WriteProfileString("Ports", "Name", std::nullopt));
    EXPECT_EQ(service.GetProfileString("Ports", "Name", "gone"), "gone");
    EXPECT_TRUE(service.WriteProfileString("Ports", std::nullopt, std::nullopt));
    EXPECT_EQ(service.GetProfileInt("Ports", "Local", 1, &error), 1u);
    EXPECT_FALSE(service.GetProfileBinary("Ports", "Raw", bytes));
    EXPECT_TRUE(bytes.empty());
}

std::vector<std::string> Sources() {
    platform::RegistryKey log;
    platform::RegistryKey::LocalMachine().OpenSubKey(
        "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application", platform::RegAccess::kRead,
        &log);
    std::vector<std::string> sources;
    ReadMultiString(log, "Sources", sources);
    return sources;
}

TEST(EventSourceTest, ASourceIsListedOnceAndRemovedWithEveryCopy) {
    testing::TempRoot root;
    CServiceControlManagerHandle manager;
    ASSERT_TRUE(manager.Open("", platform::kScManagerConnect));  // makes the logs' keys
    ASSERT_TRUE(InstallEventSource("Ruzd Node", "C:\\Ruzd\\Pelwix.DLL", 7));
    ASSERT_TRUE(InstallEventSource("RUZD NODE", "C:\\Ruzd\\Pelwix.DLL", 7));
    EXPECT_EQ(Sources(), std::vector<std::string>{"Ruzd Node"});
    platform::RegistryKey source;
    ASSERT_EQ(platform::RegistryKey::LocalMachine().OpenSubKey(
                  "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Ruzd Node",
                  platform::RegAccess::kRead, &source),
              platform::kErrorSuccess);
    uint32_t types = 0;
    uint32_t size = sizeof types;
    EXPECT_EQ(source.QueryValue("TypesSupported", nullptr, &types, &size), platform::kErrorSuccess);
    EXPECT_EQ(types, 7u);
    EXPECT_FALSE(InstallEventSource("NoSuchLog", "Ruzd Node", "x.dll", 7));

    platform::RegistryKey log;
    ASSERT_EQ(platform::RegistryKey::LocalMachine().OpenSubKey(
                  "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application",
                  platform::RegAccess::kAllAccess, &log),
              platform::kErrorSuccess);
    ASSERT_TRUE(WriteMultiString(log, "Sources", {"ruzd node", "Other", "Ruzd Node"}));
    EXPECT_TRUE(UninstallEventSource("Ruzd Node"));
    EXPECT_EQ(Sources(), std::vector<std::string>{"Other"});
    EXPECT_FALSE(UninstallEventSource("Ruzd Node"));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorFileNotFound);

    const std::string text = platform::RegSzBytes("not a list");
    log.SetValue("Single", platform::kRegSz, text.data(), static_cast<uint32_t>(text.size()));
    std::vector<std::string> strings{"x"};
    uint32_t error = 0;
    EXPECT_FALSE(ReadMultiString(log, "Single", strings, &error));
    EXPECT_EQ(error, platform::kErrorInvalidData);
    EXPECT_TRUE(strings.empty());
}

TEST(EventSourceTest, EveryReportOfARegisteredSourceIsWritten) {
    testing::TempRoot root;
    CServiceEventSource source("", "Ruzd Node");
    EXPECT_FALSE(source.Report(platform::kEventTypeError, 0x40000010));
    ASSERT_TRUE(source.Register("", "Ruzd Node"));
    EXPECT_TRUE(source.Report(platform::kEventTypeError, "a box's text"));
    EXPECT_TRUE(source.IsRegistered());
    EXPECT_TRUE(source.Report(platform::kEventTypeWarning, 7, "port", 255, true));
    EXPECT_TRUE(source.Report(platform::kEventTypeInformation, 8, "a", "b", 255, false));
    EXPECT_TRUE(source.Report(platform::kEventTypeInformation, 9, 16, true));
    EXPECT_TRUE(source.Deregister());
    EXPECT_FALSE(source.Report(platform::kEventTypeError, 10));
    EXPECT_FALSE(source.Register("\\\\other-host", "Ruzd Node"));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorRpcServerUnavailable);

    CServiceEventLogReader reader;
    ASSERT_TRUE(reader.OpenApplication());
    uint32_t count = 0;
    ASSERT_TRUE(reader.GetNumberOfRecords(count));
    EXPECT_EQ(count, 4u);
    std::vector<CServiceEventRecord> records(4);
    for (CServiceEventRecord& record : records) {
        ASSERT_TRUE(reader.ReadNext(record));
        EXPECT_EQ(record.sourceName, "Ruzd Node");
        EXPECT_GT(record.timeWritten.time_since_epoch().count(), 0);
    }
    EXPECT_EQ(records[0].eventId, kTextEventId);
    EXPECT_EQ(records[0].strings, std::vector<std::string>{"a box's text"});
    EXPECT_EQ(records[1].strings, (std::vector<std::string>{"port", "000000FF"}));
    EXPECT_EQ(records[1].eventType, platform::kEventTypeWarning);
    EXPECT_EQ(records[2].strings, (std::vector<std::string>{"a", "b", "255"}));
    EXPECT_EQ(records[3].strings, std::vector<std::string>{"00000010"});
    EXPECT_EQ(records[3].recordNumber, 4u);
}

TEST(ServiceHandleTest, CallsAnOlderSystemLacksFailWith120) {
    testing::TempRoot root;
    testing::ScopedEnvironment environment;
    CServiceControlManagerHandle manager;
    ASSERT_TRUE(manager.Open("", platform::kScManagerAllAccess));
    CServiceHandle service;
    const std::string self = platform::RunningProgramPath().string();
    ASSERT_TRUE(service.Create(manager, "Ruzd", "", platform::kServiceAllAccess,
                               platform::kServiceWin32OwnProcess, platform::kServiceDemandStart,
                               platform::kServiceErrorNormal, "\"" + self + "\" -service", "",
                               nullptr, {}, "", ""));
    CServiceHandle other;
    ASSERT_TRUE(other.Create(manager, "Other", "", platform::kServiceAllAccess,
                             platform::kServiceWin32OwnProcess, platform::kServiceDemandStart,
                             platform::kServiceErrorNormal, "/usr/bin/true", "", nullptr, {}, "",
                             ""));
    ASSERT_TRUE(service.ChangeDescription("Described"));
    std::string description;
    ASSERT_TRUE(service.QueryDescription(description));
    EXPECT_EQ(description, "Described");
    std::vector<std::string> found;
    ASSERT_TRUE(manager.EnumServicesEx(platform::kServiceWin32, platform::kServiceStateAll, "",
                                       [&](const platform::EnumServiceStatusProcess& entry) {
                                           found.push_back(entry.service_name);
                                           return false;
                                       }));
    EXPECT_EQ(found, std::vector<std::string>{"Other"});
    CNTService framework("Ruzd", "Ruzd", 1, "");
    uint32_t error = 9;
    ASSERT_TRUE(framework.EnumerateServices(found, &error));
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(found, std::vector<std::string>{"Ruzd"});

    environment.Set(platform::kServiceLegacyApiVariable, "1");
    CServiceHandle legacy;
    ASSERT_TRUE(manager.OpenService("Ruzd", platform::kServiceAllAccess, legacy));
    EXPECT_FALSE(legacy.ChangeDescription("Changed"));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorCallNotImplemented);
    EXPECT_FALSE(legacy.ChangeFailureActions(platform::FailureActions{}));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorCallNotImplemented);
    platform::ServiceStatusProcess status;
    EXPECT_FALSE(legacy.QueryStatusEx(status));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorCallNotImplemented);
    CServiceControlManagerHandle old;
    ASSERT_TRUE(old.Open("", platform::kScManagerConnect | platform::kScManagerEnumerateService));
    EXPECT_FALSE(old.EnumServicesEx(platform::kServiceWin32, platform::kServiceStateAll,
                                    std::nullopt, [](const auto&) { return true; }));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorCallNotImplemented);
    ASSERT_TRUE(service.QueryDescription(description));
    EXPECT_EQ(description, "Described");
}

}  // namespace
}  // namespace ruzd::app
