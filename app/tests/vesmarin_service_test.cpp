// The node's service in the test process: how a failed verb is worded, the installed command
// line, an installation's account and failure actions, and the service log.

#include "app/vesmarin_service.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/command_line.h"
#include "app/service/nt_service_command_line_info.h"
#include "app/service/service_control_manager_handle.h"
#include "app/service/service_handle.h"
#include "app/service/service_messages.h"
#include "app/service_entry.h"
#include "platform/process_identity.h"
#include "platform/service_dispatcher.h"
#include "platform/syslog_sender.h"
#include "platform/win_error.h"
#include "testing/child_program.h"
#include "testing/event_store.h"
#include "testing/eventually.h"
#include "testing/node_app_fixture.h"
#include "testing/os_for_tests.h"
#include "testing/small_tmpfs.h"
#include "testing/temp_root.h"

namespace ruzd::app {
namespace {

// The framework's settings that a program sets in its own service class.
class ConfiguredService : public CNTService {
public:
    ConfiguredService() : CNTService("Node", "Node display", platform::kServiceAcceptStop, "") {}
    void SetErrorFormats(uint32_t display, uint32_t eventLog) {
        displayErrorFormat_ = display;
        eventLogErrorFormat_ = eventLog;
    }
    void TakeNames() {
        takeServiceName_ = true;
        takeDisplayName_ = true;
        takeDescription_ = true;
    }
};

TEST(ServiceVerbsTest, AFailureIsWordedInEachFormat) {
    ConfiguredService service;
    const std::string text = "The specified service does not exist as an installed service";
    const std::vector<std::pair<uint32_t, std::string>> display = {
        {0, "1060"},
        {1, "1060, " + text},
        {2, text},
        {3, "Failed to start the service, Error:1060"},
        {4, "Failed to start the service, Error:1060, " + text},
        {5, "Failed to start the service, Error:" + text}};
    for (const auto& [format, expected] : display) {
        service.SetErrorFormats(format, 1);
        std::string worded;
        service.FormatActionError(worded, kMsgStartFailed, platform::kErrorServiceDoesNotExist,
                                  false);
        EXPECT_EQ(worded, expected) << "display format " << format;
    }
    const std::vector<std::pair<uint32_t, std::string>> eventLog = {
        {0, "1060"}, {1, "1060, " + text}, {2, text}};
    for (const auto& [format, expected] : eventLog) {
        service.SetErrorFormats(4, format);
        std::string worded;
        service.FormatActionError(worded, kMsgStatusOpenService,
                                  platform::kErrorServiceDoesNotExist, true);
        EXPECT_EQ(worded, expected) << "event-log format " << format;
    }
    EXPECT_EQ(ServiceExitStatus(0), 0);
    EXPECT_EQ(ServiceExitStatus(platform::kErrorServiceDoesNotExist), 36);
    EXPECT_EQ(ServiceExitStatus(0x500), 1);
}

TEST(ServiceVerbsTest, TheInstalledCommandLineQuotesAPathWithABlankOnly) {
    ConfiguredService service;
    CNTServiceCommandLineInfo info;
    service.ParseCommandLine(
        info, {"-install", "-SN:Other", "-SDN:Other node", "-SD:A node", "-SCL:-service -d"});
    EXPECT_EQ(service.BuildBinaryPath("/opt/Ruzd Node/Pelwix", info), "\"/opt/Ruzd Node/Pelwix\"");
    service.SetAppendServiceCommandLine(true);
    EXPECT_EQ(service.BuildBinaryPath("/opt/Ruzd Node/Pelwix", info),
              "\"/opt/Ruzd Node/Pelwix\" -service -d");
    service.TakeNames();
    EXPECT_EQ(service.BuildBinaryPath("/opt/ruzd/Pelwix", info),
              "/opt/ruzd/Pelwix \"/SN:Other\" \"/SDN:Other node\" \"/SD:A node\" -service -d");
}

class NodeInstallationTest : public ::testing::Test {
protected:
    testing::TempRoot root_;
};

TEST_F(NodeInstallationTest, FailureActionsGivenAreKeptAndTheAccountGoesWithoutItsPassword) {
    ASSERT_EQ(RunNodeService({"-service", "-install", "-FAILUREACTION1:reboot",
                              "-FAILUREACTION2:restart", "U:.\\operator", "p:Secret-77"}),
              0);
    CServiceControlManagerHandle manager;
    CServiceHandle service;
    ASSERT_TRUE(manager.Open("", platform::kScManagerConnect));
    ASSERT_TRUE(manager.OpenService(kNodeServiceName, platform::kServiceQueryConfig, service));
    platform::FailureActions failure;
    ASSERT_TRUE(service.QueryFailureActions(failure));
    EXPECT_EQ(failure.actions, (std::vector<platform::ScAction>{{platform::kScActionReboot, 0},
                                                                {platform::kScActionRestart, 0}}));
    platform::ServiceConfig config;
    ASSERT_TRUE(service.QueryConfig(config));
    EXPECT_EQ(config.service_start_name, ".\\operator");
    EXPECT_EQ(testing::ReadWholeFile(root_.path() / "registry.reg").find("Secret-77"),
              std::string::npos);
    EXPECT_EQ(RunNodeService({"-service", "-uninstall"}), 0);
}

TEST_F(NodeInstallationTest, ConfiguringAServiceThatIsNotInstalledIsAnErrorEvent) {
    CVesmarinService service;
    ASSERT_TRUE(service.RegisterEventSource());
    platform::FailureActions actions;
    actions.actions = std::vector<platform::ScAction>{{platform::kScActionRestart, 0}};
    EXPECT_FALSE(service.ConfigureService(actions));
    EXPECT_EQ(testing::StoredEventsOf(kNodeServiceDisplayName),
              (std::vector<std::pair<uint32_t, std::string>>{
                  {kEventOpenServiceFailed,
                   "1060, The specified service does not exist as an installed service"}}));
}

// The statuses the node's service reports, as the service manager would receive them.
class RecordingReporter : public platform::ServiceStatusReporter {
public:
    bool Report(const platform::ServiceStatus& status) override {
        std::lock_guard<std::mutex> lock(mutex_);
        states_.push_back(status.current_state);
        return true;
    }
    std::vector<uint32_t> States() {
        std::lock_guard<std::mutex> lock(mutex_);
        return states_;
    }

private:
    std::mutex mutex_;
    std::vector<uint32_t> states_;
};

class ReportingNodeService : public CVesmarinService {
public:
    explicit ReportingNodeService(RecordingReporter& reporter) { SetStatusHandle(&reporter); }
};

using NodeServiceMainTest = testing::NodeAppTest;

TEST_F(NodeServiceMainTest, AStopEndsTheApplicationBeforeOrAfterItRuns) {
    RecordingReporter reporter;
    ReportingNodeService service(reporter);
    ASSERT_TRUE(service.RegisterEventSource());
    std::thread main([&] { service.ServiceMain({kNodeServiceName}); });
    ASSERT_TRUE(testing::Eventually([&] { return reporter.States().size() == 2; }));
    service.HandleControl(platform::kServiceControlStop, 0, nullptr);
    main.join();
    const std::vector<uint32_t> states = reporter.States();
    ASSERT_GE(states.size(), 3u);
    EXPECT_EQ(std::vector<uint32_t>(states.begin(), states.begin() + 3),
              (std::vector<uint32_t>{platform::kServiceStartPending, platform::kServiceRunning,
                                     platform::kServiceStopPending}));
    const std::string name = kNodeServiceDisplayName;
    EXPECT_EQ(testing::StoredEventsOf(name),
              (std::vector<std::pair<uint32_t, std::string>>{{kEventServiceRunning, name},
                                                             {kEventServiceStopped, name}}));

    // A stop that comes before the application runs ends it as soon as it does.
    RecordingReporter early;
    ReportingNodeService stopped(early);
    stopped.OnStop();
    stopped.ServiceMain({kNodeServiceName});
    EXPECT_EQ(early.States(),
              (std::vector<uint32_t>{platform::kServiceStopPending, platform::kServiceStartPending,
                                     platform::kServiceRunning}));
}

TEST(ServiceLogTest, LinesStandInOrderWithTheProcessIdAndNeedTheirFolder) {
    testing::TempRoot root;
    CVesmarinService service;
    const std::filesystem::path folder = root.path() / "drives" / "c" / "Ruzd" / "Logging";
    service.WriteLog("lost, the folder is missing");
    EXPECT_FALSE(std::filesystem::exists(folder));

    std::filesystem::create_directories(folder);
    service.WriteLog("[%s] Could not create main thread", "CVesmarinService::ServiceMain");
    service.WriteLog("second %d", 2);
    const std::string pid = std::to_string(platform::CurrentProcessId());
    const std::string text = testing::ReadWholeFile(folder / "VesmarinService.txt");
    const std::string first =
        ": " + pid + ": [CVesmarinService::ServiceMain] Could not create main thread\r\n";
    const std::string second = ": " + pid + ": second 2\r\n";
    // Each line starts with the date and time as the locale writes them.
    const size_t end = text.find("\r\n") + 2;
    ASSERT_NE(end, std::string::npos + 2) << text;
    EXPECT_TRUE(text.substr(0, end).ends_with(first)) << text;
    EXPECT_GT(end, first.size()) << text;
    EXPECT_TRUE(text.substr(end).ends_with(second)) << text;
    EXPECT_GT(text.size() - end, second.size()) << text;
    EXPECT_EQ(text.find("\r\n", end), text.size() - 2) << text;
}

// The service log on a full disk, for real: its folder lies on a small tmpfs that the test fills
// up. No line is left in part; the first loss is told on the error output and as an error event,
// the next ones not again, and once there is room the log says how many lines were lost.
TEST(ServiceLogTest, LinesThatFindNoRoomAreToldOnceAndCountedOnceThereIsRoom) {
    ASSERT_TRUE(testing::RunningAsRoot()) << "only root may mount a tmpfs";
    testing::TempRoot root;
    const std::filesystem::path folder = root.path() / "drives" / "c" / "Ruzd" / "Logging";
    testing::SmallTmpfs disk(folder, 1 << 20);
    ASSERT_TRUE(disk.mounted());
    const std::filesystem::path log = folder / "VesmarinService.txt";
    CVesmarinService service;
    service.WriteLog("before the disk filled up");
    disk.FillUp();
    const std::string alert = "Lines cannot be written to " + log.string() +
                              " (No space left on device): they are lost until they can";
    ::testing::internal::CaptureStderr();
    // The file's last page may still take a few lines; then they find no room.
    size_t written = 0;
    std::string said;
    for (; written < 1000 && said.find(alert) == std::string::npos; ++written) {
        service.WriteLog("line %zu, as long as a line of the service may be", written);
        said = ::testing::internal::GetCapturedStderr();
        ::testing::internal::CaptureStderr();
    }
    ASSERT_NE(said.find(alert), std::string::npos) << said;
    for (int more = 0; more < 5; ++more) {
        service.WriteLog("lost as well");
    }
    said += ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.find(alert), said.rfind(alert)) << said;
    size_t alerts = 0;
    for (const auto& [event_id, text] : testing::StoredEventsOf(platform::ProgramSyslogIdent())) {
        alerts += text == alert ? 1 : 0;
    }
    EXPECT_EQ(alerts, 1u);

    disk.MakeRoom();
    service.WriteLog("after");
    const std::string text = testing::ReadWholeFile(log);
    const std::string pid = std::to_string(platform::CurrentProcessId());
    const std::string note = ": " + pid +
                             ": 6 lines of this log could not be written (No space left on "
                             "device) and are lost\r\n";
    const size_t at = text.find(note);
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_NE(text.find(": " + pid + ": after\r\n", at), std::string::npos) << text;
    // Whole lines only: each one the date, the process id and a text, and its line end.
    size_t lines = 0;
    for (size_t start = 0; start < text.size(); ++lines) {
        const size_t end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << text.substr(start);
        EXPECT_NE(text.substr(start, end - start).find(": " + pid + ": "), std::string::npos)
            << text.substr(start, end - start);
        start = end + 2;
    }
    EXPECT_EQ(lines, written - 1 + 3) << "the lines that found room, the note and the last";
}

TEST(ServiceLogTest, AnotherAccountReadingTheLogHoldsNoLineUp) {
    ASSERT_TRUE(testing::RunningAsRoot()) << "only root may act as another account";
    testing::TempRoot root;
    std::filesystem::permissions(root.path(), std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    const std::filesystem::path folder = root.path() / "drives" / "c" / "Ruzd" / "Logging";
    std::filesystem::create_directories(folder);
    CVesmarinService service;
    service.WriteLog("first");
    const std::filesystem::path log = folder / "VesmarinService.txt";
    // Anyone may read the log, and so lock it; its writers' own lock is no one else's.
    const pid_t holder = testing::StartAsAnotherAccount(
        {"/usr/bin/flock", "-o", "-s", log.string(), "/usr/bin/sleep", "120"});
    ASSERT_GT(holder, 0);
    ASSERT_TRUE(testing::Eventually([&] {
        testing::ProgramStart probe;
        probe.program = "/usr/bin/flock";
        probe.arguments = {"-n", "-x", log.string(), "/usr/bin/true"};
        return testing::RunProgram(probe) != 0;
    }));
    EXPECT_NE(testing::RunAsAnotherAccount(
                  {"/usr/bin/flock", "-n", "-s", log.string() + ".lock", "/usr/bin/true"}),
              0);
    service.WriteLog("second, while another account reads");
    testing::KillProgram(holder);
    testing::WaitForExitCode(holder);
    EXPECT_THAT(testing::ReadWholeFile(log),
                ::testing::HasSubstr(": second, while another account reads\r\n"));
}

}  // namespace
}  // namespace ruzd::app
