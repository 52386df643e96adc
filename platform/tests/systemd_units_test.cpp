// The systemd back-end offline: the units a record makes, every unit the manager writes judged
// by systemd-analyze, the folders it makes for them, what it refuses, and what it asks of
// systemctl (a stand-in that writes down its arguments). The machine's systemd is never touched.

#include "platform/systemd_units.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/reg_value.h"
#include "platform/registry.h"
#include "platform/service_manager.h"
#include "platform/service_record.h"
#include "platform/service_run_files.h"
#include "platform/win_error.h"
#include "testing/child_program.h"
#include "testing/os_for_tests.h"
#include "testing/scoped_environment.h"
#include "testing/small_tmpfs.h"
#include "testing/temp_root.h"

namespace ruzd::platform {
namespace {

namespace fs = std::filesystem;

ServiceRecord NodeRecord() {
    ServiceRecord record;
    record.name = "Ruzd Node";
    record.display_name = "Orvanthella 100% Node";
    record.image_path = "/usr/bin/true -service \"two words\" $HOME";
    record.start = kServiceAutoStart;
    record.dependencies = {"Base"};
    record.object_name = ".\\daemon";
    record.environment = {"RUZD_VENDOR_DIR=/opt/vendor", "no equals sign"};
    record.failure_actions = EncodeFailureActions(
        3600, {{kScActionRestart, 1000}, {kScActionReboot, 0}, {kScActionRunCommand, 0}});
    record.failure_command = "/usr/bin/touch \"/tmp/failed %1%\"";
    return record;
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(SystemdUnitsTest, TheUnitsOfARecordAreExactlyThese) {
    testing::TempRoot root;
    const std::string r = root.path().string();
    const SystemdUnits units = MakeSystemdUnits(NodeRecord());
    EXPECT_EQ(units.service,
              "# The service \"Ruzd Node\" of the service manager in " + r +
                  ".\n"
                  "# Rewritten on every change of its record.\n"
                  "[Unit]\n"
                  "Description=Orvanthella 100%% Node\n"
                  "Requires=ruzd-Base.service\n"
                  "After=ruzd-Base.service\n"
                  "OnFailure=ruzd-Ruzd\\x20Node-failure.service\n"
                  "StartLimitIntervalSec=3600\n"
                  "StartLimitBurst=2\n"
                  "StartLimitAction=reboot\n"
                  "\n"
                  "[Service]\n"
                  "Type=notify\n"
                  "NotifyAccess=main\n"
                  "ExecStart=\"/usr/bin/true\" \"-service\" \"two words\" \"$$HOME\"\n"
                  "WorkingDirectory=" +
                  r +
                  "/services/ruzd%%20node\n"
                  "Environment=\"RUZD_ROOT=" +
                  r +
                  "\" \"RUZD_SERVICE_NAME=Ruzd Node\" "
                  "\"RUZD_VENDOR_DIR=/opt/vendor\"\n"
                  "User=daemon\n"
                  "TimeoutStopSec=90\n"
                  "Restart=on-failure\n"
                  "RestartSec=1000ms\n"
                  "StandardOutput=append:" +
                  r +
                  "/run/service.ruzd%%20node.out\n"
                  "StandardError=inherit\n"
                  "\n"
                  "[Install]\n"
                  "WantedBy=multi-user.target\n");
    ASSERT_TRUE(units.failure);
    EXPECT_EQ(*units.failure,
              "[Unit]\n"
              "Description=Failure command of Orvanthella 100%% Node\n"
              "\n"
              "[Service]\n"
              "Type=oneshot\n"
              "ExecStart=\"/usr/bin/touch\" \"/tmp/failed 1\"\n"
              "WorkingDirectory=" +
                  r +
                  "/services/ruzd%%20node\n"
                  "Environment=\"RUZD_ROOT=" +
                  r +
                  "\" \"RUZD_SERVICE_NAME=Ruzd Node\" "
                  "\"RUZD_VENDOR_DIR=/opt/vendor\"\n"
                  "User=daemon\n");
    EXPECT_FALSE(units.timer);

    ServiceRecord delayed = NodeRecord();
    delayed.delayed_autostart = true;
    const SystemdUnits later = MakeSystemdUnits(delayed);
    ASSERT_TRUE(later.timer);
    EXPECT_EQ(*later.timer,
              "[Unit]\n"
              "Description=Delayed start of Orvanthella 100%% Node\n"
              "\n"
              "[Timer]\n"
              "OnBootSec=120\n"
              "Unit=ruzd-Ruzd\\x20Node.service\n"
              "\n"
              "[Install]\n"
              "WantedBy=timers.target\n");
    EXPECT_EQ(later.service.find("[Install]"), std::string::npos);
}

// The manager's systemd back-end in the test's root: units go to a folder of the root, and a
// stand-in systemctl writes down what it is asked.
class SystemdBackEnd {
public:
    explicit SystemdBackEnd(const fs::path& root)
        : units_(root / "units"), calls_(root / "systemctl.calls") {
        const fs::path systemctl = root / "systemctl";
        WriteFile(systemctl, "#!/bin/sh\necho \"$@\" >> '" + calls_.string() + "'\n");
        fs::permissions(systemctl, fs::perms::owner_all);
        environment_.Set("RUZD_SERVICE_MANAGER", "systemd");
        environment_.Set("RUZD_SYSTEMD_UNIT_DIR", units_.string());
        environment_.Set("RUZD_SYSTEMCTL", systemctl.string());
    }

    const fs::path& units() const { return units_; }
    std::string Calls() const { return testing::ReadWholeFile(calls_); }
    std::string Unit(const std::string& name) const {
        return testing::ReadWholeFile(units_ / name);
    }

private:
    testing::ScopedEnvironment environment_;
    fs::path units_;
    fs::path calls_;
};

void SetControlText(const std::string& name, const std::string& text) {
    RegistryKey control;
    ASSERT_EQ(RegistryKey::LocalMachine().CreateSubKey("SYSTEM\\CurrentControlSet\\Control",
                                                       RegAccess::kAllAccess, &control),
              kErrorSuccess);
    const std::string bytes = RegSzBytes(text);
    ASSERT_EQ(control.SetValue(name, kRegSz, bytes.data(), static_cast<uint32_t>(bytes.size())),
              kErrorSuccess);
}

void CopyProgram(const fs::path& program, const fs::path& to) {
    fs::create_directories(to.parent_path());
    fs::copy_file(program, to);
    fs::permissions(to, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
}

struct FileFacts {
    uid_t owner = 0;
    mode_t mode = 0;
};

std::optional<FileFacts> FactsOf(const fs::path& path) {
    struct stat found {};
    if (::lstat(path.c_str(), &found) != 0) {
        return std::nullopt;
    }
    return FileFacts{found.st_uid, static_cast<mode_t>(found.st_mode & 07777)};
}

// What `systemd-analyze verify` says of every unit in the folder: its exit code and its error
// output.
std::pair<int, std::string> Verify(const fs::path& folder) {
    testing::ProgramStart verify;
    verify.program = "/usr/bin/systemd-analyze";
    verify.arguments = {"verify"};
    for (const auto& entry : fs::directory_iterator(folder)) {
        verify.arguments.push_back(entry.path().string());
    }
    verify.folder = folder;
    verify.stderr_file = folder.parent_path() / "verify.err";
    const int exit_code = testing::RunProgram(verify);
    return {exit_code, testing::ReadWholeFile(verify.stderr_file)};
}

TEST(SystemdUnitsTest, EveryUnitTheManagerWritesPassesVerifyAndRunsAsTheServicesAccount) {
    testing::TempRoot root;
    const SystemdBackEnd systemd(root.path());
    // An image path in Windows form, not quoted, whose folders hold blanks, beside a shorter
    // program of the same start: Windows' reading takes the longest that is a program.
    const fs::path drive = root.path() / "drives" / "c";
    CopyProgram("/usr/bin/true", drive / "Program Files" / "Ruzd App" / "node");
    CopyProgram("/usr/bin/false", drive / "Program");
    const std::string image = "C:\\Program Files\\Ruzd App\\node -service \"two words\"";
    // Windows' LocalService stands for the user the registry names.
    SetControlText("LocalServiceUser", "daemon");
    const passwd* daemon = ::getpwnam("daemon");
    ASSERT_NE(daemon, nullptr);
    const uid_t account = ::geteuid() == 0 ? daemon->pw_uid : ::geteuid();

    ScHandle manager = OpenSCManager("", "", kScManagerAllAccess);
    ASSERT_NE(manager, nullptr);
    ScHandle service =
        CreateService(manager, "RuzdNode", "Ruzd Node", kServiceAllAccess, kServiceWin32OwnProcess,
                      kServiceAutoStart, kServiceErrorNormal, image, "", nullptr, {},
                      "NT AUTHORITY\\LocalService", "");
    ASSERT_NE(service, nullptr) << GetLastError();
    ServiceConfig2 config;
    config.failure_actions.reset_period_s = 600;
    config.failure_actions.actions =
        std::vector<ScAction>{{kScActionRestart, 1000}, {kScActionRunCommand, 0}};
    config.failure_actions.command = "C:\\Program Files\\Ruzd App\\node -failed %1%";
    ASSERT_TRUE(ChangeServiceConfig2(service, kServiceConfigFailureActions, config));
    config.delayed_auto_start = true;
    ASSERT_TRUE(ChangeServiceConfig2(service, kServiceConfigDelayedAutoStartInfo, config));
    CloseServiceHandle(service);
    CloseServiceHandle(manager);

    const auto [verified, complaints] = Verify(systemd.units());
    EXPECT_EQ(verified, 0) << complaints;
    EXPECT_EQ(complaints, "");
    const std::string unit = systemd.Unit("ruzd-RuzdNode.service");
    const std::string failure = systemd.Unit("ruzd-RuzdNode-failure.service");
    EXPECT_TRUE(fs::exists(systemd.units() / "ruzd-RuzdNode.timer"));
    const std::string program = (drive / "Program Files" / "Ruzd App" / "node").string();
    EXPECT_NE(unit.find("\nExecStart=\"" + program + "\" \"-service\" \"two words\"\n"),
              std::string::npos)
        << unit;
    EXPECT_NE(failure.find("\nExecStart=\"" + program + "\" \"-failed\" \"1\"\n"),
              std::string::npos)
        << failure;
    for (const std::string& text : {unit, failure}) {
        EXPECT_NE(text.find("\nUser=daemon\n"), std::string::npos) << text;
        EXPECT_NE(text.find("\nWorkingDirectory=" + root.path().string() + "/services/ruzdnode\n"),
                  std::string::npos)
            << text;
    }

    // The folders the units name are there, the account's: systemd will not start a unit whose
    // working folder is missing. The output file, which systemd appends to as root, is the
    // manager's alone.
    const std::optional<FileFacts> working = FactsOf(ServiceWorkingFolder("RuzdNode"));
    ASSERT_TRUE(working);
    EXPECT_EQ(working->owner, account);
    EXPECT_EQ(working->mode, 0750u);
    const std::optional<FileFacts> run = FactsOf(ServiceRunFolder("RuzdNode"));
    ASSERT_TRUE(run);
    EXPECT_EQ(run->owner, account);
    EXPECT_EQ(run->mode, 0700u);
    const std::optional<FileFacts> output = FactsOf(ServiceOutputFile("RuzdNode"));
    ASSERT_TRUE(output);
    EXPECT_EQ(output->owner, ::geteuid());
    EXPECT_EQ(output->mode, 0600u);
}

TEST(SystemdUnitsTest, UnitsThatCouldNotStartAreRefusedWithTheReason) {
    testing::TempRoot root;
    const SystemdBackEnd systemd(root.path());
    ScHandle manager = OpenSCManager("", "", kScManagerAllAccess);
    ASSERT_NE(manager, nullptr);
    const auto refused = [&](const std::string& image, const std::string& account, uint32_t error) {
        ::testing::internal::CaptureStderr();
        const ScHandle service = CreateService(
            manager, "Ruzd", "Ruzd", kServiceAllAccess, kServiceWin32OwnProcess,
            kServiceDemandStart, kServiceErrorNormal, image, "", nullptr, {}, account, "");
        const uint32_t got = GetLastError();
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(service, nullptr);
        EXPECT_EQ(got, error);
        // Nothing of it is left: no record, no unit.
        EXPECT_EQ(OpenService(manager, "Ruzd", kServiceQueryStatus), nullptr);
        EXPECT_FALSE(fs::exists(systemd.units() / "ruzd-Ruzd.service"));
        return said;
    };
    SetControlText("NetworkServiceUser", "ruzd-no-such-user");
    EXPECT_EQ(refused("/usr/bin/true", "NetworkService", kErrorInvalidServiceAccount),
              "platform_systemd_units_test: the service \"Ruzd\" runs as \"NetworkService\", "
              "which stands for the user \"ruzd-no-such-user\" (\"NetworkServiceUser\" under "
              "HKLM\\SYSTEM\\CurrentControlSet\\Control), and this machine has no user "
              "\"ruzd-no-such-user\"\n");
    EXPECT_EQ(refused("/usr/bin/true", ".\\ruzd-no-such-user", kErrorInvalidServiceAccount),
              "platform_systemd_units_test: the service \"Ruzd\" runs as "
              "\".\\ruzd-no-such-user\", and this machine has no user \"ruzd-no-such-user\"\n");
    const std::string missing = "C:\\Program Files\\No App\\node -service";
    EXPECT_EQ(refused(missing, "", kErrorFileNotFound),
              "platform_systemd_units_test: the program of the service \"Ruzd\" (its ImagePath " +
                  missing + ") does not exist: " + (root.path() / "drives/c/Program").string() +
                  "\n");
    // A change to an account the machine does not have is refused and taken back.
    ScHandle service = CreateService(manager, "Ruzd", "Ruzd", kServiceAllAccess,
                                     kServiceWin32OwnProcess, kServiceDemandStart,
                                     kServiceErrorNormal, "/usr/bin/true", "", nullptr, {}, "", "");
    ASSERT_NE(service, nullptr) << GetLastError();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(ChangeServiceConfig(service, kServiceNoChange, kServiceNoChange, kServiceNoChange,
                                     std::nullopt, std::nullopt, nullptr, std::nullopt,
                                     std::string("NetworkService"), std::nullopt, std::nullopt));
    EXPECT_EQ(GetLastError(), kErrorInvalidServiceAccount);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("no user \"ruzd-no-such-user\""),
              std::string::npos);
    ServiceConfig config;
    ASSERT_TRUE(QueryServiceConfig(service, &config));
    EXPECT_EQ(config.service_start_name, "LocalSystem");
    EXPECT_EQ(systemd.Unit("ruzd-Ruzd.service").find("User="), std::string::npos);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);

    // Without a value, LocalService and NetworkService stand for "ruzd-service"; LocalSystem
    // is root, and any other name the user after its domain.
    ServiceRecord record;
    for (const char* built_in : {"LocalService", ".\\localservice", "NT AUTHORITY\\LocalService"}) {
        record.object_name = built_in;
        EXPECT_EQ(ServiceAccountUser(record), "ruzd-service") << built_in;
    }
    for (const char* system : {"", "LocalSystem", "NT AUTHORITY\\SYSTEM"}) {
        record.object_name = system;
        EXPECT_EQ(ServiceAccountUser(record), "") << system;
    }
    record.object_name = "OFFICE\\operator";
    EXPECT_EQ(ServiceAccountUser(record), "operator");
}

TEST(SystemdUnitsTest, TheManagerKeepsTheUnitsAndAsksSystemctlForWhatItNeeds) {
    testing::TempRoot root;
    const SystemdBackEnd systemd(root.path());
    const fs::path& units = systemd.units();

    ScHandle manager = OpenSCManager("", "", kScManagerAllAccess);
    ASSERT_NE(manager, nullptr);
    ScHandle service = CreateService(manager, "Ruzd", "Ruzd", kServiceAllAccess,
                                     kServiceWin32OwnProcess, kServiceAutoStart,
                                     kServiceErrorNormal, "/usr/bin/true", "", nullptr, {}, "", "");
    ASSERT_NE(service, nullptr) << GetLastError();
    EXPECT_TRUE(fs::exists(units / "ruzd-Ruzd.service"));
    ServiceConfig2 config;
    config.delayed_auto_start = true;
    ASSERT_TRUE(ChangeServiceConfig2(service, kServiceConfigDelayedAutoStartInfo, config));
    EXPECT_TRUE(fs::exists(units / "ruzd-Ruzd.timer"));
    // Started as its record stands: nothing changed, nothing is reloaded.
    ASSERT_TRUE(StartService(service, {})) << GetLastError();
    // The record's "Environment" edited in the registry, behind the manager's back: the next
    // start writes the unit again first.
    RegistryKey key;
    ASSERT_EQ(RegistryKey::LocalMachine().OpenSubKey("SYSTEM\\CurrentControlSet\\Services\\Ruzd",
                                                     RegAccess::kAllAccess, &key),
              kErrorSuccess);
    const std::string environment = RegMultiSzBytes({"BOARDSIM_CONFIG=/srv/boards 1.cfg"});
    ASSERT_EQ(key.SetValue("Environment", kRegMultiSz, environment.data(),
                           static_cast<uint32_t>(environment.size())),
              kErrorSuccess);
    ASSERT_TRUE(StartService(service, {})) << GetLastError();
    EXPECT_NE(systemd.Unit("ruzd-Ruzd.service").find(" \"BOARDSIM_CONFIG=/srv/boards 1.cfg\"\n"),
              std::string::npos)
        << systemd.Unit("ruzd-Ruzd.service");
    ASSERT_TRUE(DeleteService(service));
    EXPECT_FALSE(fs::exists(units / "ruzd-Ruzd.service"));
    EXPECT_FALSE(fs::exists(units / "ruzd-Ruzd.timer"));
    CloseServiceHandle(service);
    CloseServiceHandle(manager);

    EXPECT_EQ(systemd.Calls(),
              "daemon-reload\n"
              "enable ruzd-Ruzd.service\n"
              "disable ruzd-Ruzd.service\n"
              "daemon-reload\n"
              "enable ruzd-Ruzd.timer\n"
              "start --no-block ruzd-Ruzd.service\n"
              "daemon-reload\n"
              "start --no-block ruzd-Ruzd.service\n"
              "disable ruzd-Ruzd.service ruzd-Ruzd.timer\n"
              "daemon-reload\n");
}

// Units on a full disk, for real: their folder lies on a small tmpfs that the test fills up. The
// change fails with the disk's reason, said with the unit's path, and leaves neither the unit nor
// a scratch file behind; with room again the unit is written, even over a FIFO in its place.
TEST(SystemdUnitsTest, AUnitThatCannotBeWrittenFailsTheChangeWithItsReason) {
    ASSERT_TRUE(testing::RunningAsRoot()) << "only root may mount a tmpfs";
    testing::TempRoot root;
    const SystemdBackEnd systemd(root.path());
    testing::SmallTmpfs disk(systemd.units(), 1 << 20);
    ASSERT_TRUE(disk.mounted());
    ScHandle manager = OpenSCManager("", "", kScManagerAllAccess);
    ASSERT_NE(manager, nullptr);
    const auto create = [&manager] {
        return CreateService(manager, "Ruzd", "Ruzd", kServiceAllAccess, kServiceWin32OwnProcess,
                             kServiceAutoStart, kServiceErrorNormal, "/usr/bin/true", "", nullptr,
                             {}, "", "");
    };
    const auto units_left = [&systemd] {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(systemd.units())) {
            if (entry.path().filename().string().rfind("ruzd-", 0) == 0) {
                names.push_back(entry.path().filename().string());
            }
        }
        return names;
    };

    disk.FillUp();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(create(), nullptr);
    EXPECT_EQ(GetLastError(), kErrorDiskFull);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("the unit " + (systemd.units() / "ruzd-Ruzd.service").string() +
                        " could not be written: "),
              std::string::npos)
        << said;
    EXPECT_EQ(units_left(), std::vector<std::string>{});
    EXPECT_EQ(OpenService(manager, "Ruzd", kServiceQueryStatus), nullptr);

    disk.MakeRoom();
    // A FIFO would hold a reader of the old unit until a writer came.
    ASSERT_TRUE(testing::MakeFifo(systemd.units() / "ruzd-Ruzd.service"));
    ScHandle service = create();
    ASSERT_NE(service, nullptr) << GetLastError();
    EXPECT_TRUE(fs::is_regular_file(systemd.units() / "ruzd-Ruzd.service"));
    EXPECT_NE(systemd.Unit("ruzd-Ruzd.service").find("\nExecStart=\"/usr/bin/true\"\n"),
              std::string::npos)
        << systemd.Unit("ruzd-Ruzd.service");
    EXPECT_EQ(units_left(), std::vector<std::string>{"ruzd-Ruzd.service"});
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

}  // namespace
}  // namespace ruzd::platform
