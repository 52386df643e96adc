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
#include "platform/win_error.h"
#include "testing/child_program.h"
#include "testing/event_store.h"
#include "testing/eventually.h"
#include "testing/node_app_fixture.h"
#include "testing/os_for_tests.h"
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
