// The service framework with real processes in a temporary root: the local service manager's
// supervisor (ruzd-svcrun) runs the test service (test_service_child.cpp), which is driven
// through the handle wrappers and reports to the event log.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/service/nt_service.h"
#include "app/service/service_control_manager_handle.h"
#include "app/service/service_event_log_reader.h"
#include "app/service/service_handle.h"
#include "platform/command_line.h"
#include "platform/process_identity.h"
#include "platform/process_lookup.h"
#include "platform/reg_value.h"
#include "platform/registry.h"
#include "platform/service_api_extensions.h"
#include "platform/service_control_channel.h"
#include "platform/service_record.h"
#include "platform/service_run_files.h"
#include "platform/stop_signals.h"
#include "platform/syslog_sender.h"
#include "platform/win_error.h"
#include "testing/child_program.h"
#include "testing/eventually.h"
#include "testing/os_for_tests.h"
#include "testing/scoped_environment.h"
#include "testing/syslog_line.h"
#include "testing/temp_root.h"
#include "testing/unix_sockets.h"

namespace ruzd::app {
namespace {

using platform::ServiceStatus;
using platform::ServiceStatusProcess;

constexpr char kName[] = "RuzdTestService";
constexpr char kDisplayName[] = "RuzdTestService display";
constexpr uint32_t kCrashControl = 200;
constexpr uint32_t kPatienceMs = 60000;

std::string ServiceProgram() {
    return (testing::ProgramFolder() / "app_test_service_child").string();
}

std::string ImagePath(const std::vector<std::string>& switches) {
    std::vector<std::string> words{ServiceProgram()};
    words.insert(words.end(), switches.begin(), switches.end());
    return platform::JoinCommandLine(words);
}

platform::RegistryKey ServiceKey(const std::string& name) {
    platform::RegistryKey key;
    platform::RegistryKey::LocalMachine().CreateSubKey(
        "SYSTEM\\CurrentControlSet\\Services\\" + name, platform::RegAccess::kAllAccess, &key);
    return key;
}

void SetPipeTimeout(uint32_t ms) {
    platform::RegistryKey control;
    platform::RegistryKey::LocalMachine().CreateSubKey("SYSTEM\\CurrentControlSet\\Control",
                                                       platform::RegAccess::kAllAccess, &control);
    control.SetValue("ServicesPipeTimeout", platform::kRegDword, &ms, sizeof ms);
}

uint32_t StateOf(const CServiceHandle& service) {
    ServiceStatus status;
    return service.QueryStatus(status) ? status.current_state : 0;
}

uint32_t PidOf(const CServiceHandle& service) {
    ServiceStatusProcess status;
    return service.QueryStatusEx(status) ? status.process_id : 0;
}

bool ReachesState(const CServiceHandle& service, uint32_t state) {
    return testing::Eventually([&] { return StateOf(service) == state; });
}

// The events of one source in the Application log, in order.
std::vector<uint32_t> EventIdsOf(const std::string& source) {
    CServiceEventLogReader reader;
    std::vector<uint32_t> ids;
    if (!reader.OpenApplication()) {
        return ids;
    }
    CServiceEventRecord record;
    while (reader.ReadNext(record)) {
        if (record.sourceName == source) {
            ids.push_back(record.eventId);
        }
    }
    return ids;
}

class ServiceProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetPipeTimeout(kPatienceMs);
        ASSERT_TRUE(manager_.Open("", platform::kScManagerAllAccess));
    }

    // No supervisor or service outlives the test: stopped where they can be, ended otherwise.
    void TearDown() override {
        for (const std::string& name : created_) {
            std::ofstream(platform::ServiceWorkingFolder(name) / "release-stop").put('\n');
            const platform::ServiceStatusProcess status = platform::CurrentServiceStatus(name);
            if (status.status.current_state == platform::kServiceRunning) {
                CServiceHandle service;
                if (manager_.OpenService(name, platform::kServiceStop, service)) {
                    service.Stop();
                }
            }
        }
        const auto supervisors_gone = [] {
            return !platform::FindProcessByName("ruzd-svcrun.exe").has_value();
        };
        if (!testing::Eventually(supervisors_gone)) {
            ADD_FAILURE() << "a supervisor outlived its test";
        }
        for (const std::string& name : created_) {
            const uint32_t pid = platform::CurrentServiceStatus(name).process_id;
            if (pid != 0) {
                ADD_FAILURE() << name << " still runs as " << pid;
                testing::KillProgram(static_cast<pid_t>(pid));
            }
        }
        while (const auto left = platform::FindProcessByName("ruzd-svcrun.exe")) {
            testing::KillProgram(static_cast<pid_t>(*left));
        }
        // What the supervisor and the service wrote: no sanitizer found a fault in them.
        for (const std::string& name : created_) {
            const std::string output = testing::ReadWholeFile(platform::ServiceOutputFile(name));
            EXPECT_EQ(output.find("Sanitizer"), std::string::npos) << output;
            EXPECT_EQ(output.find("runtime error"), std::string::npos) << output;
        }
    }

    void Create(CServiceHandle& service, const std::string& name,
                const std::vector<std::string>& switches) {
        created_.push_back(name);
        std::vector<std::string> all = switches;
        all.push_back("-name:" + name);
        ASSERT_TRUE(service.Create(manager_, name, name + " display", platform::kServiceAllAccess,
                                   platform::kServiceWin32OwnProcess, platform::kServiceDemandStart,
                                   platform::kServiceErrorNormal, ImagePath(all), "", nullptr, {},
                                   "", ""))
            << platform::GetLastError();
    }

    // The root and its run folder open to every account, as a machine's are, so that a
    // service's account reaches the root's files.
    void OpenRootToEveryAccount() {
        for (const std::filesystem::path& folder : {root_.path(), root_.path() / "run"}) {
            std::filesystem::create_directories(folder);
            std::filesystem::permissions(folder, std::filesystem::perms(0755));
        }
    }

    // The account the service runs as (its "ObjectName").
    void SetAccount(const CServiceHandle& service, const std::string& account) {
        ASSERT_TRUE(service.ChangeConfig(platform::kServiceNoChange, platform::kServiceNoChange,
                                         platform::kServiceNoChange, std::nullopt, std::nullopt,
                                         nullptr, std::nullopt, account, "", std::nullopt));
    }

    void SetEnvironment(const std::string& name, const std::vector<std::string>& variables) {
        const std::string bytes = platform::RegMultiSzBytes(variables);
        ServiceKey(name).SetValue("Environment", platform::kRegMultiSz, bytes.data(),
                                  static_cast<uint32_t>(bytes.size()));
    }

    void SetFailureActions(const CServiceHandle& service, uint32_t resetPeriod,
                           std::vector<platform::ScAction> actions,
                           std::optional<std::string> command = std::nullopt) {
        platform::FailureActions failure;
        failure.reset_period_s = resetPeriod;
        failure.actions = std::move(actions);
        failure.command = std::move(command);
        ASSERT_TRUE(service.ChangeFailureActions(failure)) << platform::GetLastError();
    }

    testing::TempRoot root_;
    testing::ScopedEnvironment environment_;
    CServiceControlManagerHandle manager_;
    std::vector<std::string> created_;
};

TEST_F(ServiceProcessTest, IsCreatedStartedKilledRestartedStoppedAndDeleted) {
    testing::DatagramSink syslog(root_.path() / "syslog.socket");
    ASSERT_TRUE(syslog.bound());
    CServiceHandle service;
    Create(service, kName, {"-acceptpause"});
    CServiceHandle again;
    EXPECT_FALSE(again.Create(manager_, kName, "Another", platform::kServiceAllAccess,
                              platform::kServiceWin32OwnProcess, platform::kServiceDemandStart,
                              platform::kServiceErrorNormal, ImagePath({}), "", nullptr, {}, "",
                              ""));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorServiceExists);
    SetFailureActions(service, 0, {{platform::kScActionRestart, 0}});
    SetEnvironment(kName,
                   {std::string(platform::kSyslogSocketVariable) + "=" + syslog.path().string()});

    ASSERT_TRUE(service.Start()) << platform::GetLastError();
    ASSERT_TRUE(ReachesState(service, platform::kServiceRunning));
    const uint32_t first = PidOf(service);
    ASSERT_NE(first, 0u);
    // Tagged with the service's own name and the pid, as syslog's readers take a line apart; the
    // display name, the event's source, leads the text.
    const std::string received =
        syslog.Receive(std::chrono::seconds(60)).value_or("(nothing came)");
    const std::optional<testing::SyslogLine> line = testing::ParseSyslogLine(received);
    ASSERT_TRUE(line) << received;
    EXPECT_EQ(line->tag, kName);
    EXPECT_EQ(line->pid, first);
    EXPECT_EQ(line->message, std::string(kDisplayName) + ": event 1: " + kDisplayName);
    EXPECT_FALSE(service.Start());
    EXPECT_EQ(platform::GetLastError(), platform::kErrorServiceAlreadyRunning);

    ASSERT_TRUE(service.Pause()) << platform::GetLastError();
    EXPECT_TRUE(ReachesState(service, platform::kServicePaused));
    ASSERT_TRUE(service.Continue()) << platform::GetLastError();
    EXPECT_TRUE(ReachesState(service, platform::kServiceRunning));
    bool accepts = false;
    ASSERT_TRUE(service.AcceptsPauseContinue(accepts));
    EXPECT_TRUE(accepts);
    // One query, one poll's sleep, and the time is up.
    EXPECT_FALSE(service.WaitForStop(0));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorTimeout);

    testing::KillProgram(static_cast<pid_t>(first));
    ASSERT_TRUE(testing::Eventually([&] {
        return StateOf(service) == platform::kServiceRunning && PidOf(service) != first &&
               PidOf(service) != 0;
    }));

    ASSERT_TRUE(service.Stop()) << platform::GetLastError();
    ASSERT_TRUE(service.WaitForStop(kPatienceMs)) << platform::GetLastError();
    ServiceStatus status;
    ASSERT_TRUE(service.QueryStatus(status));
    EXPECT_EQ(status.win32_exit_code, 0u);
    EXPECT_TRUE(testing::Eventually(
        [] { return !platform::FindProcessByName("ruzd-svcrun.exe").has_value(); }));
    EXPECT_TRUE(service.Delete()) << platform::GetLastError();
    EXPECT_FALSE(service.Delete());
    EXPECT_EQ(platform::GetLastError(), platform::kErrorServiceMarkedForDelete);
    CServiceHandle gone;
    EXPECT_FALSE(manager_.OpenService(kName, platform::kServiceQueryStatus, gone));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorServiceDoesNotExist);

    EXPECT_EQ(EventIdsOf(kDisplayName),
              (std::vector<uint32_t>{0x40000001, kEventServicePaused, kEventServiceContinued,
                                     0x40000001, kEventServiceStopped}));
}

TEST_F(ServiceProcessTest, ControlsAreRefusedWhilePendingOrNotAcceptedAndTheServiceRunsOn) {
    CServiceHandle service;
    Create(service, kName, {"-slowstop"});
    // As on a system without the extended handler: the plain one takes the controls.
    SetEnvironment(kName, {std::string(platform::kServiceLegacyApiVariable) + "=1"});
    ASSERT_TRUE(service.Start()) << platform::GetLastError();
    ASSERT_TRUE(ReachesState(service, platform::kServiceRunning));

    EXPECT_FALSE(service.Pause());
    EXPECT_EQ(platform::GetLastError(), platform::kErrorInvalidServiceControl);
    EXPECT_TRUE(service.Control(150)) << platform::GetLastError();
    EXPECT_TRUE(service.Interrogate()) << platform::GetLastError();
    EXPECT_FALSE(service.Control(0));
    EXPECT_EQ(platform::GetLastError(), platform::kErrorInvalidParameter);

    // A packet that is not a whole control record.
    const std::optional<std::string> reply = testing::ExchangeSeqPacket(
        platform::ServiceControlSocket(kName), "abc", std::chrono::seconds(60));
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->size(), sizeof(platform::ServiceControlReply));
    platform::ServiceControlReply answer;
    std::memcpy(&answer, reply->data(), sizeof answer);
    EXPECT_EQ(answer.result, platform::kErrorInvalidParameter);
    EXPECT_EQ(StateOf(service), platform::kServiceRunning);

    // Under its manager SIGTERM is the stop control; this service's stop stays pending.
    const uint32_t pid = PidOf(service);
    testing::SendSignal(static_cast<pid_t>(pid),
                        platform::SignalNumber(platform::StopSignal::kTerminate));
    ASSERT_TRUE(ReachesState(service, platform::kServiceStopPending));
    EXPECT_FALSE(service.Interrogate());
    EXPECT_EQ(platform::GetLastError(), platform::kErrorServiceCannotAcceptCtrl);
    EXPECT_FALSE(service.Stop());
    EXPECT_EQ(platform::GetLastError(), platform::kErrorServiceCannotAcceptCtrl);

    std::ofstream(platform::ServiceWorkingFolder(kName) / "release-stop").put('\n');
    ASSERT_TRUE(service.WaitForStop(kPatienceMs)) << platform::GetLastError();
    EXPECT_FALSE(service.Stop());
    EXPECT_EQ(platform::GetLastError(), platform::kErrorServiceNotActive);
}

TEST_F(ServiceProcessTest, FailureActionsRunInOrderAndAFailedStartLeavesNothingRunning) {
    // The database locked elsewhere: no second lock, no start.
    CServiceHandle service;
    Create(service, kName, {"-crash"});
    CServiceControlManagerHandle other;
    ASSERT_TRUE(other.Open("", platform::kScManagerAllAccess));
    ASSERT_TRUE(other.Lock());
    EXPECT_FALSE(manager_.Lock());
    EXPECT_EQ(platform::GetLastError(), platform::kErrorServiceDatabaseLocked);
    EXPECT_FALSE(service.Start());
    EXPECT_EQ(platform::GetLastError(), platform::kErrorServiceDatabaseLocked);
    platform::LockStatus lock;
    ASSERT_TRUE(manager_.QueryLockStatus(lock));
    EXPECT_TRUE(lock.is_locked);
    ASSERT_TRUE(other.Unlock());

    // A restart first, then the command, which ends the supervision.
    const std::filesystem::path marker = root_.path() / "failed twice";
    SetFailureActions(service, platform::kResetPeriodInfinite,
                      {{platform::kScActionRestart, 0}, {platform::kScActionRunCommand, 0}},
                      platform::JoinCommandLine({"/usr/bin/touch", marker.string()}));
    ASSERT_TRUE(service.Start()) << platform::GetLastError();
    ASSERT_TRUE(ReachesState(service, platform::kServiceRunning));
    const uint32_t first = PidOf(service);
    // The service ends while it holds the control, so the control finds it gone.
    service.Control(kCrashControl);
    ASSERT_TRUE(testing::Eventually([&] {
        return StateOf(service) == platform::kServiceRunning && PidOf(service) != first &&
               PidOf(service) != 0;
    }));
    EXPECT_FALSE(std::filesystem::exists(marker));
    service.Control(kCrashControl);
    ASSERT_TRUE(testing::Eventually([&] { return std::filesystem::exists(marker); }));
    ServiceStatus status;
    ASSERT_TRUE(service.QueryStatus(status));
    EXPECT_EQ(status.current_state, platform::kServiceStopped);
    EXPECT_EQ(status.win32_exit_code, platform::kErrorProcessAborted);

    // A reboot, which the tests' stand-in for the restart plays.
    const std::filesystem::path rebooted = root_.path() / "rebooted";
    environment_.Set("RUZD_REBOOT_COMMAND", "touch '" + rebooted.string() + "'");
    SetFailureActions(service, 0, {{platform::kScActionReboot, 0}});
    ASSERT_TRUE(service.Start()) << platform::GetLastError();
    ASSERT_TRUE(ReachesState(service, platform::kServiceRunning));
    service.Control(kCrashControl);
    ASSERT_TRUE(testing::Eventually([&] { return std::filesystem::exists(rebooted); }));
    ASSERT_TRUE(ReachesState(service, platform::kServiceStopped));

    // A record without a program, or with failure actions of the wrong length: nothing starts.
    const std::string torn("\0\0\0\0\1\0\0\0\1\0\0", 11);
    ServiceKey(kName).SetValue("FailureActions", platform::kRegBinary, torn.data(),
                               static_cast<uint32_t>(torn.size()));
    EXPECT_FALSE(service.Start());
    EXPECT_EQ(platform::GetLastError(), platform::kErrorInvalidData);
    ServiceKey(kName).DeleteValue("FailureActions");
    ServiceKey(kName).DeleteValue("ImagePath");
    EXPECT_FALSE(service.Start());
    EXPECT_EQ(platform::GetLastError(), platform::kErrorInvalidData);
    EXPECT_EQ(StateOf(service), platform::kServiceStopped);

    // A program that never reaches its dispatcher is ended at the pipe time-out.
    SetPipeTimeout(1000);
    CServiceHandle silent;
    Create(silent, "RuzdSilentService", {"-nodispatcher"});
    EXPECT_FALSE(silent.Start());
    EXPECT_EQ(platform::GetLastError(), platform::kErrorServiceRequestTimeout);
    ASSERT_TRUE(silent.QueryStatus(status));
    EXPECT_EQ(status.current_state, platform::kServiceStopped);
    EXPECT_EQ(status.win32_exit_code, platform::kErrorServiceRequestTimeout);
    EXPECT_FALSE(platform::FindProcessByName("app_test_service_child.exe").has_value());

    // A program that does not exist cannot start.
    CServiceHandle missing;
    Create(missing, "RuzdMissingService", {});
    ASSERT_TRUE(missing.ChangeConfig(
        platform::kServiceNoChange, platform::kServiceNoChange, platform::kServiceNoChange,
        (root_.path() / "no such program").string(), std::nullopt, nullptr, std::nullopt,
        std::nullopt, std::nullopt, std::nullopt));
    EXPECT_FALSE(missing.Start());
    EXPECT_EQ(platform::GetLastError(), platform::kErrorFileNotFound);
}

using LockHolder = testing::AnotherAccountLock;

TEST_F(ServiceProcessTest, AnotherAccountCannotOpenTheRunFilesSoDelaysNoStopAndBlocksNoStart) {
    ASSERT_TRUE(testing::RunningAsRoot()) << "only root may act as another account";
    OpenRootToEveryAccount();
    CServiceHandle service;
    Create(service, kName, {});
    ASSERT_TRUE(service.Start()) << platform::GetLastError();
    ASSERT_TRUE(ReachesState(service, platform::kServiceRunning));
    // The other account reaches the run folder and may lock what it may open there.
    EXPECT_EQ(testing::RunAsAnotherAccount(
                  {"/usr/bin/flock", "-n", "-s", (root_.path() / "run").string(), "/usr/bin/true"}),
              0);

    // Nothing of the service's own opens for it: not the status, the lock, the output, the
    // control socket, nor the list of the service's run folder.
    const std::filesystem::path status = platform::ServiceStatusFile(kName);
    const std::filesystem::path lock = platform::ServiceLockFile(kName);
    for (const std::filesystem::path& file : {status, lock, platform::ServiceOutputFile(kName)}) {
        EXPECT_NE(testing::RunAsAnotherAccount(
                      {"/usr/bin/flock", "-n", "-s", file.string(), "/usr/bin/true"}),
                  0)
            << file;
    }
    EXPECT_NE(
        testing::RunAsAnotherAccount({"/usr/bin/ls", platform::ServiceRunFolder(kName).string()}),
        0);
    EXPECT_NE(
        testing::RunAsAnotherAccount({"/usr/bin/python3", "-c",
                                      "import socket, sys\n"
                                      "s = socket.socket(socket.AF_UNIX, socket.SOCK_SEQPACKET)\n"
                                      "s.connect(sys.argv[1])\n",
                                      platform::ServiceControlSocket(kName).string()}),
        0);

    // Its hold of the status while the service stops, and of the supervisor's lock while it
    // starts again, fail at once: the stop and the start go through.
    LockHolder status_holder("-s", status);
    const std::optional<int> status_held = status_holder.Ended();
    ASSERT_TRUE(status_held) << "another account holds the status";
    EXPECT_NE(*status_held, 0);
    ASSERT_TRUE(service.Stop()) << platform::GetLastError();
    ASSERT_TRUE(service.WaitForStop(kPatienceMs)) << platform::GetLastError();
    LockHolder lock_holder("-x", lock);
    const std::optional<int> lock_held = lock_holder.Ended();
    ASSERT_TRUE(lock_held) << "another account holds the supervisor's lock";
    EXPECT_NE(*lock_held, 0);
    ASSERT_TRUE(service.Start()) << platform::GetLastError();
    EXPECT_TRUE(ReachesState(service, platform::kServiceRunning));
}

TEST_F(ServiceProcessTest, AServiceRunsAsItsAccountWhenTheManagerMayChangeIt) {
    OpenRootToEveryAccount();
    const std::string self = platform::ProcessUserName(0).value_or("");
    ASSERT_FALSE(self.empty());
    CServiceHandle service;
    Create(service, kName, {});
    ASSERT_NO_FATAL_FAILURE(SetAccount(service, ".\\daemon"));
    ASSERT_TRUE(service.Start()) << platform::GetLastError();
    ASSERT_TRUE(ReachesState(service, platform::kServiceRunning));
    // Only root may run a service as another account; anyone else runs it as itself.
    EXPECT_EQ(platform::ProcessUserName(PidOf(service)), self == "root" ? "daemon" : self);
    ASSERT_TRUE(service.Stop()) << platform::GetLastError();
    ASSERT_TRUE(service.WaitForStop(kPatienceMs));

    ASSERT_NO_FATAL_FAILURE(SetAccount(service, ".\\nobody-here"));
    if (self == "root") {
        EXPECT_FALSE(service.Start());
        EXPECT_EQ(platform::GetLastError(), platform::kErrorServiceLogonFailed);
    }
}

TEST_F(ServiceProcessTest, TheStatusFileGoesToTheServicesAccountAndNoFileOfRootsInItsPlace) {
    ASSERT_TRUE(testing::RunningAsRoot()) << "only root may run a service as another account";
    OpenRootToEveryAccount();
    CServiceHandle service;
    Create(service, kName, {});
    ASSERT_NO_FATAL_FAILURE(SetAccount(service, ".\\nobody"));
    SetFailureActions(service, 0, {{platform::kScActionRestart, 0}});
    ASSERT_TRUE(service.Start()) << platform::GetLastError();
    ASSERT_TRUE(ReachesState(service, platform::kServiceRunning));
    const uint32_t pid = PidOf(service);
    EXPECT_EQ(platform::ProcessUserName(pid), "nobody");
    const std::filesystem::path status = platform::ServiceStatusFile(kName);
    EXPECT_EQ(testing::OwnerUid(status), 65534u);

    // The account owns its run folder, so it may put a second name of a file of root's in the
    // status file's place, then end without a word: the restart must not give it that file, and
    // fails at once, saying why, instead of waiting for a status that cannot come.
    const std::filesystem::path roots = root_.path() / "root's own";
    std::ofstream(roots) << "root's";
    std::filesystem::permissions(roots, std::filesystem::perms(0600));
    const std::filesystem::path planted = platform::ServiceRunFolder(kName) / "planted";
    std::filesystem::create_hard_link(roots, planted);
    std::filesystem::rename(planted, status);
    testing::KillProgram(static_cast<pid_t>(pid));
    const std::filesystem::path output = platform::ServiceOutputFile(kName);
    ASSERT_TRUE(testing::Eventually([&] {
        return testing::ReadWholeFile(output).find(
                   std::string(kName) + " could not be started again") != std::string::npos;
    })) << testing::ReadWholeFile(output);
    const std::string said = testing::ReadWholeFile(output);
    EXPECT_NE(said.find(status.string() + ": cannot be written: no plain file of its own"),
              std::string::npos)
        << said;
    EXPECT_EQ(testing::OwnerUid(roots), 0u);
    EXPECT_EQ(testing::ReadWholeFile(roots), "root's");
    EXPECT_TRUE(testing::Eventually(
        [] { return !platform::FindProcessByName("ruzd-svcrun.exe").has_value(); }));
    EXPECT_FALSE(platform::FindProcessByName("app_test_service_child.exe").has_value());
}

TEST_F(ServiceProcessTest, BootStartsTheAutomaticServicesTheDelayedOnesLast) {
    CServiceHandle later;
    Create(later, "RuzdLater", {});
    CServiceHandle first;
    Create(first, "RuzdFirst", {});
    CServiceHandle manual;
    Create(manual, "RuzdManual", {});
    for (const CServiceHandle* service : {&later, &first}) {
        ASSERT_TRUE(service->ChangeConfig(platform::kServiceNoChange, platform::kServiceAutoStart,
                                          platform::kServiceNoChange, std::nullopt, std::nullopt,
                                          nullptr, std::nullopt, std::nullopt, std::nullopt,
                                          std::nullopt));
    }
    ASSERT_TRUE(later.ChangeDelayedAutoStart(true));
    testing::ProgramStart boot;
    boot.program = testing::ProgramFolder() / "ruzd-svcrun";
    boot.arguments = {"boot"};
    EXPECT_EQ(testing::RunProgram(boot), 0);
    ASSERT_TRUE(ReachesState(first, platform::kServiceRunning));
    ASSERT_TRUE(ReachesState(later, platform::kServiceRunning));
    EXPECT_EQ(StateOf(manual), platform::kServiceStopped);
    // Each start waits for the service's dispatcher, so the delayed one's process came later.
    EXPECT_LE(platform::ProcessStartTime(PidOf(first)), platform::ProcessStartTime(PidOf(later)));
}

TEST_F(ServiceProcessTest, WithoutAManagerTheDispatcherFailsAtOnce) {
    environment_.Unset(platform::kServiceNameVariable);
    testing::ChildProgram program("app_test_service_child", {});
    ASSERT_TRUE(program.started());
    EXPECT_EQ(program.ReadLine(std::chrono::seconds(60)), "dispatcher failed: 1063");
    EXPECT_EQ(program.Wait(), 1);
}

TEST_F(ServiceProcessTest, SystemdHearsReadyAndStoppingThroughItsNotifySocket) {
    CServiceHandle service;
    Create(service, kName, {});
    testing::DatagramSink notify(root_.path() / "notify.socket");
    ASSERT_TRUE(notify.bound());
    environment_.Set("NOTIFY_SOCKET", notify.path().string());
    environment_.Set(platform::kServiceNameVariable, kName);
    testing::ChildProgram program("app_test_service_child", {"-name:" + std::string(kName)});
    ASSERT_TRUE(program.started());
    std::vector<std::string> heard;
    ASSERT_TRUE(testing::Eventually([&] {
        if (std::optional<std::string> message = notify.Receive(std::chrono::milliseconds(100))) {
            heard.push_back(*message);
        }
        return !heard.empty() && heard.back().find("READY=1") != std::string::npos;
    }));
    EXPECT_TRUE(service.Stop()) << platform::GetLastError();
    ASSERT_TRUE(testing::Eventually([&] {
        if (std::optional<std::string> message = notify.Receive(std::chrono::milliseconds(100))) {
            heard.push_back(*message);
        }
        return heard.back().find("STOPPING=1") != std::string::npos;
    }));
    EXPECT_EQ(program.Wait(), 0);
    EXPECT_EQ(StateOf(service), platform::kServiceStopped);
}

class ConsoleRunTest : public ::testing::TestWithParam<std::pair<platform::StopSignal, int>> {
protected:
    testing::TempRoot root_;
};

TEST_P(ConsoleRunTest, AStopSignalIsItsConsoleControlAndStopsTheWork) {
    testing::ChildProgram program("app_test_service_child", {"-console"});
    ASSERT_TRUE(program.started());
    ASSERT_EQ(program.ReadLine(std::chrono::seconds(60)), "running");
    program.Kill(platform::SignalNumber(GetParam().first));
    EXPECT_EQ(program.ReadLine(std::chrono::seconds(60)),
              "console control " + std::to_string(GetParam().second));
    EXPECT_EQ(program.Wait(), 0);
}

INSTANTIATE_TEST_SUITE_P(Signals, ConsoleRunTest,
                         ::testing::Values(std::pair{platform::StopSignal::kInterrupt, 0},
                                           std::pair{platform::StopSignal::kQuit, 1},
                                           std::pair{platform::StopSignal::kHangUp, 2},
                                           std::pair{platform::StopSignal::kTerminate, 2}));

}  // namespace
}  // namespace ruzd::app
