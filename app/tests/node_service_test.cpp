// The node as a service, with real processes in a temporary root: Pelwix's verbs install, start,
// stop and remove the service through the local service manager, whose supervisor (ruzd-svcrun)
// runs the node on the simulated boards; a test central server talks to it on its real port.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "app/service/event_source_registry.h"
#include "app/service/service_control_manager_handle.h"
#include "app/service/service_handle.h"
#include "app/service/service_messages.h"
#include "app/vesmarin_service.h"
#include "platform/command_line.h"
#include "platform/process_lookup.h"
#include "platform/reg_value.h"
#include "platform/registry.h"
#include "platform/service_manager.h"
#include "platform/service_run_files.h"
#include "platform/stop_signals.h"
#include "platform/win_error.h"
#include "testing/child_program.h"
#include "testing/command_peer.h"
#include "testing/event_store.h"
#include "testing/eventually.h"
#include "testing/loopback_socket.h"
#include "testing/node_ports.h"
#include "testing/scoped_environment.h"
#include "testing/service_environment.h"
#include "testing/simulated_boards.h"
#include "testing/temp_root.h"

namespace ruzd::app {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr int32_t kCNPING = 12;
constexpr char kEventSourceKey[] =
    "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Orvanthella Pelwix Service";
// The verbs that wait for a state are given the patience of a loaded machine: the node's own
// stop closes its listeners and boards, which a sanitized build does slowly.
const std::string kPatientWait = "-T:120000";

std::filesystem::path PelwixProgram() {
    return testing::ProgramFolder() / "Pelwix";
}

struct VerbResult {
    int exit_code = -1;
    std::string output;
};

std::optional<std::string> ReadText(const platform::RegistryKey& key, std::string_view name) {
    uint32_t type = 0;
    uint32_t size = 0;
    if (key.QueryValue(name, &type, nullptr, &size) != 0) {
        return std::nullopt;
    }
    std::string bytes(size, '\0');
    if (key.QueryValue(name, &type, bytes.data(), &size) != 0) {
        return std::nullopt;
    }
    bytes.resize(size);
    if (const std::optional<uint32_t> number = platform::RegDwordNumber(type, bytes)) {
        return std::to_string(*number);
    }
    return platform::RegSzText(type, bytes);
}

class NodeServiceTest : public ::testing::Test {
protected:
    NodeServiceTest() { environment_.Unset(platform::kServiceNameVariable); }

    // No supervisor or node outlives the test: a service still running is stopped, and what
    // does not end by itself is ended.
    ~NodeServiceTest() override {
        if (platform::CurrentServiceStatus(kNodeServiceName).status.current_state !=
            platform::kServiceStopped) {
            RunVerb({"-service", "-stop", kPatientWait});
        }
        if (!testing::Eventually([] { return !SupervisorRuns(); })) {
            ADD_FAILURE() << "a supervisor outlived its test";
        }
        while (const std::optional<uint32_t> left =
                   platform::FindProcessByName("ruzd-svcrun.exe")) {
            testing::KillProgram(static_cast<pid_t>(*left));
        }
        while (const std::optional<uint32_t> left = platform::FindProcessByName("Pelwix.exe")) {
            ADD_FAILURE() << "the node outlived its test";
            testing::KillProgram(static_cast<pid_t>(*left));
        }
        const std::string output =
            testing::ReadWholeFile(platform::ServiceOutputFile(kNodeServiceName));
        EXPECT_EQ(output.find("Sanitizer"), std::string::npos) << output;
        EXPECT_EQ(output.find("runtime error"), std::string::npos) << output;
    }

    static bool SupervisorRuns() {
        return platform::FindProcessByName("ruzd-svcrun.exe").has_value();
    }

    VerbResult RunVerb(const std::vector<std::string>& arguments) {
        const std::filesystem::path output = work_.path() / "verb.out";
        std::filesystem::remove(output);
        testing::ProgramStart start;
        start.program = PelwixProgram();
        start.arguments = arguments;
        start.stdout_file = output;
        VerbResult result;
        result.exit_code = testing::RunProgram(start);
        result.output = testing::ReadWholeFile(output);
        return result;
    }

    static uint32_t NodeProcess() {
        return platform::CurrentServiceStatus(kNodeServiceName).process_id;
    }
    static uint32_t NodeState() {
        return platform::CurrentServiceStatus(kNodeServiceName).status.current_state;
    }

    void SetServiceEnvironment(const std::vector<std::string>& variables) {
        ASSERT_TRUE(testing::SetServiceEnvironment(kNodeServiceName, variables));
    }

    testing::TempRoot root_;
    testing::TempDir work_;
    testing::ScopedEnvironment environment_;
    const uint32_t command_port_ = testing::WriteCommandPort();
    const uint32_t file_port_ = testing::WriteFilePort();
    const uint32_t gui_port_ = testing::WriteGuiPort();
};

TEST_F(NodeServiceTest, IsInstalledStartedAskedKilledRestartedStoppedAndRemoved) {
    // Installed: started automatically as "Pelwix -service", restarted at once when it fails.
    ASSERT_EQ(RunVerb({"-service", "-install"}).exit_code, 0);
    CServiceControlManagerHandle manager;
    ASSERT_TRUE(manager.Open("", platform::kScManagerAllAccess));
    {
        CServiceHandle service;
        ASSERT_TRUE(manager.OpenService(kNodeServiceName, platform::kServiceQueryConfig, service));
        platform::ServiceConfig config;
        ASSERT_TRUE(service.QueryConfig(config));
        EXPECT_EQ(config.binary_path_name,
                  platform::JoinCommandLine({PelwixProgram().string()}) + " -service");
        EXPECT_EQ(config.display_name, "Orvanthella Pelwix Service");
        EXPECT_EQ(config.start_type, platform::kServiceAutoStart);
        EXPECT_EQ(config.service_type, platform::kServiceWin32OwnProcess);
        platform::FailureActions failure;
        ASSERT_TRUE(service.QueryFailureActions(failure));
        EXPECT_EQ(failure.reset_period_s, 0u);
        EXPECT_EQ(failure.actions,
                  (std::vector<platform::ScAction>{{platform::kScActionRestart, 0}}));
    }
    {
        platform::RegistryKey source;
        ASSERT_EQ(platform::RegistryKey::LocalMachine().OpenSubKey(
                      kEventSourceKey, platform::RegAccess::kRead, &source),
                  0u);
        EXPECT_EQ(ReadText(source, "EventMessageFile"), PelwixProgram().string() + ".DLL");
        EXPECT_EQ(ReadText(source, "TypesSupported"), "7");
        platform::RegistryKey log;
        ASSERT_EQ(platform::RegistryKey::LocalMachine().OpenSubKey(
                      "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application",
                      platform::RegAccess::kRead, &log),
                  0u);
        std::vector<std::string> sources;
        ASSERT_TRUE(ReadMultiString(log, "Sources", sources));
        EXPECT_EQ(std::count(sources.begin(), sources.end(), kNodeServiceDisplayName), 1);
    }
    SetServiceEnvironment({"RUZD_VENDOR_DIR=" + testing::SimulatedBoards::VendorFolder().string()});

    // Started, it takes the central server's keep-alive; started again, nothing happens.
    ASSERT_EQ(RunVerb({"-service", "-start", kPatientWait}).exit_code, 0);
    EXPECT_EQ(NodeState(), platform::kServiceRunning);
    const uint32_t first = NodeProcess();
    ASSERT_NE(first, 0u);
    {
        testing::CommandPeer peer(command_port_);
        ASSERT_TRUE(peer.IsConnected());
        ASSERT_TRUE(peer.AwaitCommandsAccepted());
        peer.SendInts(kCNPING, 7, {4242});
        std::optional<std::vector<int32_t>> reply;
        // Keep-alives of the wait may still be on their way.
        do {
            reply = peer.ReceiveInts();
        } while (reply && reply->size() == 2 && (*reply)[1] != 4242);
        EXPECT_EQ(reply, (std::vector<int32_t>{1, 4242}));
    }
    EXPECT_EQ(RunVerb({"-service", "-start"}).exit_code, 0);
    EXPECT_EQ(NodeProcess(), first);

    // The node takes no pause: refused at once.
    const VerbResult pause = RunVerb({"-service", "-pause"});
    EXPECT_EQ(pause.exit_code, 28);
    EXPECT_EQ(pause.output,
              "Failed to pause the service, Error:1052, The requested control is not valid for "
              "this service\n");
    EXPECT_EQ(NodeState(), platform::kServiceRunning);

    // Killed, it is restarted.
    testing::KillProgram(static_cast<pid_t>(first));
    ASSERT_TRUE(testing::Eventually([&] {
        return NodeState() == platform::kServiceRunning && NodeProcess() != 0 &&
               NodeProcess() != first;
    }));
    {
        testing::CommandPeer peer(command_port_);
        ASSERT_TRUE(peer.IsConnected());
        EXPECT_TRUE(peer.AwaitCommandsAccepted());
    }

    // Stopped: its ports close, its supervisor ends and nothing restarts it.
    ASSERT_EQ(RunVerb({"-service", "-stop", kPatientWait}).exit_code, 0);
    EXPECT_EQ(NodeState(), platform::kServiceStopped);
    EXPECT_EQ(platform::CurrentServiceStatus(kNodeServiceName).status.win32_exit_code, 0u);
    EXPECT_TRUE(testing::Eventually([] { return !SupervisorRuns(); }));
    EXPECT_FALSE(platform::FindProcessByName("Pelwix.exe").has_value());
    EXPECT_FALSE(testing::CommandPeer(command_port_, [] { return true; }).IsConnected());
    const std::string name = kNodeServiceDisplayName;
    // The refused pause is an error event of its own, worded for the event log.
    const std::string refused = "1052, The requested control is not valid for this service";
    EXPECT_THAT(
        testing::StoredEventsOf(kNodeServiceDisplayName),
        ElementsAre(std::pair{kEventServiceInstalled, name}, std::pair{kEventServiceRunning, name},
                    std::pair{kEventPauseFailed, refused}, std::pair{kEventServiceRunning, name},
                    std::pair{kEventServiceStopped, name}));

    // Removed: the record and the event source go.
    EXPECT_EQ(RunVerb({"-service", "-uninstall"}).exit_code, 0);
    CServiceHandle gone;
    EXPECT_FALSE(manager.OpenService(kNodeServiceName, platform::kServiceQueryStatus, gone));
    platform::RegistryKey source;
    EXPECT_NE(platform::RegistryKey::LocalMachine().OpenSubKey(kEventSourceKey,
                                                               platform::RegAccess::kRead, &source),
              0u);

    const VerbResult start = RunVerb({"-service", "-start"});
    EXPECT_EQ(start.exit_code, 36);
    EXPECT_EQ(start.output,
              "Failed to start the service, Error:1060, The specified service does not exist as "
              "an installed service\n");
    EXPECT_EQ(RunVerb({"-service", "-start", "-silent"}).output, "");
    EXPECT_EQ(RunVerb({"-service", "-start", "-silent"}).exit_code, 36);

    EXPECT_EQ(RunVerb({"-service", "-install"}).exit_code, 0);
    const VerbResult again = RunVerb({"-service", "-install"});
    EXPECT_EQ(again.exit_code, 49);
    EXPECT_EQ(again.output,
              "CNTService::Install, Failed call to CreateService, Error:1073, The specified "
              "service already exists\n");
    EXPECT_EQ(RunVerb({"-service", "-uninstall"}).exit_code, 0);
}

TEST_F(NodeServiceTest, FromAShellItShowsItsUsageRefusesTheDispatcherAndRunsInTheForeground) {
    const VerbResult usage = RunVerb({"-service", "/?"});
    EXPECT_EQ(usage.exit_code, 0);
    EXPECT_EQ(usage.output,
              "Vesmarin [-service [ -install | -uninstall | -start | -stop ] | "
              "-help | -? ]\n");
    // No service manager started it: the dispatcher cannot run (1063).
    EXPECT_EQ(RunVerb({"-service"}).exit_code, 39);

    // In the foreground, Amtelco asked for without its library: the box is logged and reported
    // as an event, and Ctrl-C ends the node cleanly.
    testing::TempDir vendor;
    for (const auto& entry :
         std::filesystem::directory_iterator(testing::SimulatedBoards::VendorFolder())) {
        if (entry.path().filename() != "XDSlibsc.so") {
            std::filesystem::copy(entry.path(), vendor.path() / entry.path().filename());
        }
    }
    environment_.Set("RUZD_VENDOR_DIR", vendor.path().string());
    testing::TempWorkFolder folder;
    testing::ChildProgram node("Pelwix", {"-service", "-console", "-a", "-d"});
    ASSERT_TRUE(node.started());
    {
        testing::CommandPeer peer(command_port_);
        ASSERT_TRUE(peer.IsConnected());
    }
    node.Kill(platform::SignalNumber(platform::StopSignal::kInterrupt));
    EXPECT_EQ(node.Wait(), 0);
    const std::string box = "Could not load XDSlibsc.dll\nAmtelco traffic is disabled";
    const std::string name = kNodeServiceDisplayName;
    EXPECT_THAT(testing::StoredEventsOf(kNodeServiceDisplayName),
                ::testing::Contains(std::pair{kTextEventId, box}));
    EXPECT_EQ(testing::StoredEventsOf(kNodeServiceDisplayName).back(),
              std::pair(kEventServiceStopped, name));
    std::string log;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path() / "debug")) {
        log += testing::ReadWholeFile(entry.path());
    }
    EXPECT_THAT(log, HasSubstr("DoMessageBox Could not load XDSlibsc.dll"));
}

TEST_F(NodeServiceTest, GivenTheBoardsThroughItsEnvironmentItCarriesTheCentralServersCall) {
    // The boards as ./run.sh lays them out: no IP boards, the control socket in the root.
    std::ofstream(root_.path() / "boards.cfg") << "ip 0 0\n";
    const std::filesystem::path control = root_.path() / "boards.control";
    ASSERT_EQ(RunVerb({"-service", "-install"}).exit_code, 0);
    SetServiceEnvironment({"RUZD_VENDOR_DIR=" + testing::SimulatedBoards::VendorFolder().string(),
                           "BOARDSIM_CONFIG=" + (root_.path() / "boards.cfg").string(),
                           "BOARDSIM_CONTROL=" + control.string()});
    ASSERT_EQ(RunVerb({"-service", "-start", kPatientWait}).exit_code, 0);
    // Running, the service may still be on its way to listening.
    ASSERT_TRUE(testing::RawConnection::ConnectWhenListening(command_port_).valid());

    testing::ProgramStart central;
    central.program = testing::ProgramFolder() / "ruzd-central";
    central.arguments = {"--port",      std::to_string(command_port_),
                         "--file-port", std::to_string(file_port_),
                         "--control",   control.string()};
    central.stdout_file = work_.path() / "central.out";
    central.stderr_file = work_.path() / "central.err";
    EXPECT_EQ(testing::RunProgram(central), 0) << testing::ReadWholeFile(central.stderr_file);
    const std::string session = testing::ReadWholeFile(central.stdout_file);
    for (const char* step : {"CNPING answered", "<- message 31", "boards: call dtiB1T1",
                             "<- message 12", "call done"}) {
        EXPECT_THAT(session, HasSubstr(step));
    }

    ASSERT_EQ(RunVerb({"-service", "-stop", kPatientWait}).exit_code, 0);
    EXPECT_EQ(NodeState(), platform::kServiceStopped);
    EXPECT_EQ(RunVerb({"-service", "-uninstall"}).exit_code, 0);
}

TEST_F(NodeServiceTest, InstalledForSystemdItsUnitPassesVerifyAndItsWorkingFolderIsThere) {
    // The machine's systemd is never touched: the units go to the test's folder, and systemctl
    // is a stand-in that does nothing.
    const std::filesystem::path units = work_.path() / "units";
    const std::filesystem::path systemctl = work_.path() / "systemctl";
    std::ofstream(systemctl) << "#!/bin/sh\nexit 0\n";
    std::filesystem::permissions(systemctl, std::filesystem::perms::owner_all);
    environment_.Set(platform::kServiceManagerVariable, "systemd");
    environment_.Set("RUZD_SYSTEMD_UNIT_DIR", units.string());
    environment_.Set("RUZD_SYSTEMCTL", systemctl.string());

    ASSERT_EQ(RunVerb({"-service", "-install"}).exit_code, 0);
    EXPECT_TRUE(std::filesystem::is_directory(platform::ServiceWorkingFolder(kNodeServiceName)));
    testing::ProgramStart verify;
    verify.program = "/usr/bin/systemd-analyze";
    verify.arguments = {"verify"};
    for (const auto& unit : std::filesystem::directory_iterator(units)) {
        verify.arguments.push_back(unit.path().string());
    }
    ASSERT_EQ(verify.arguments.size(), 2u);
    verify.stderr_file = work_.path() / "verify.err";
    EXPECT_EQ(testing::RunProgram(verify), 0);
    EXPECT_EQ(testing::ReadWholeFile(verify.stderr_file), "");
    EXPECT_EQ(RunVerb({"-service", "-uninstall"}).exit_code, 0);
    EXPECT_TRUE(std::filesystem::is_empty(units));
}

TEST_F(NodeServiceTest, ARegistryFileThatCannotBeReadStopsEveryRunAsAPlainRunIsStopped) {
    std::ofstream(root_.path() / "registry.reg") << "not a registry file\n";
    const std::string line = "Pelwix: Cannot read the registry file " +
                             (root_.path() / "registry.reg").string() +
                             " (left as it is): line 1: not a registry file: not a registry file\n";
    testing::TempWorkFolder folder;
    const auto run = [&](const std::vector<std::string>& arguments,
                         const std::vector<std::string>& environment) {
        testing::ProgramStart start;
        start.program = PelwixProgram();
        start.arguments = arguments;
        start.environment = environment;
        start.stdout_file = work_.path() / "run.out";
        start.stderr_file = work_.path() / "run.err";
        const int exit_code = testing::RunProgram(start);
        return std::pair{exit_code, testing::ReadWholeFile(start.stderr_file)};
    };
    EXPECT_EQ(run({"-debug", "-d"}, {}), std::pair(1, line));
    // The same in the console as the service, and as the service a manager started (as systemd
    // does: no supervisor, the service's name in its environment).
    EXPECT_EQ(run({"-service", "-console", "-d"}, {}), std::pair(1, line));
    EXPECT_EQ(
        run({"-service"}, {std::string(platform::kServiceNameVariable) + "=" + kNodeServiceName}),
        std::pair(1, line));
    // Its last status says the service failed.
    const platform::ServiceStatus status = platform::CurrentServiceStatus(kNodeServiceName).status;
    EXPECT_EQ(status.current_state, platform::kServiceStopped);
    EXPECT_EQ(status.win32_exit_code, platform::kErrorServiceSpecificError);
    EXPECT_EQ(status.service_specific_exit_code, 1u);
    // The registry file is left as it was.
    EXPECT_EQ(testing::ReadWholeFile(root_.path() / "registry.reg"), "not a registry file\n");
}

}  // namespace
}  // namespace ruzd::app
