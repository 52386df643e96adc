// The systemd back-end offline: the units a record makes, judged by systemd-analyze, and what
// the service manager asks of systemctl (a stand-in that writes down its arguments).

#include "platform/systemd_units.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/service_manager.h"
#include "platform/service_record.h"
#include "platform/win_error.h"
#include "testing/child_program.h"
#include "testing/scoped_environment.h"
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
                  "\"RUZD_VENDOR_DIR=/opt/vendor\"\n");
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

TEST(SystemdUnitsTest, SystemdFindsNothingWrongWithThem) {
    testing::TempRoot root;
    ServiceRecord record = NodeRecord();
    record.name = "RuzdNode";
    record.delayed_autostart = true;
    record.dependencies.clear();
    const SystemdUnits units = MakeSystemdUnits(record);
    const fs::path folder = root.path() / "units";
    fs::create_directories(folder);
    WriteFile(folder / "ruzd-RuzdNode.service", units.service);
    WriteFile(folder / "ruzd-RuzdNode-failure.service", *units.failure);
    WriteFile(folder / "ruzd-RuzdNode.timer", *units.timer);
    const fs::path errors = root.path() / "verify.err";
    testing::ProgramStart verify;
    verify.program = "/usr/bin/systemd-analyze";
    verify.arguments = {"verify", (folder / "ruzd-RuzdNode.service").string(),
                        (folder / "ruzd-RuzdNode-failure.service").string(),
                        (folder / "ruzd-RuzdNode.timer").string()};
    verify.folder = folder;
    verify.stderr_file = errors;
    EXPECT_EQ(testing::RunProgram(verify), 0);
    EXPECT_EQ(testing::ReadWholeFile(errors), "");
}

TEST(SystemdUnitsTest, TheManagerKeepsTheUnitsAndAsksSystemctlForWhatItNeeds) {
    testing::TempRoot root;
    testing::ScopedEnvironment environment;
    const fs::path units = root.path() / "units";
    const fs::path calls = root.path() / "systemctl.calls";
    const fs::path systemctl = root.path() / "systemctl";
    WriteFile(systemctl, "#!/bin/sh\necho \"$@\" >> '" + calls.string() + "'\n");
    fs::permissions(systemctl, fs::perms::owner_all);
    environment.Set("RUZD_SERVICE_MANAGER", "systemd");
    environment.Set("RUZD_SYSTEMD_UNIT_DIR", units.string());
    environment.Set("RUZD_SYSTEMCTL", systemctl.string());

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
    ASSERT_TRUE(StartService(service, {})) << GetLastError();
    ASSERT_TRUE(DeleteService(service));
    EXPECT_FALSE(fs::exists(units / "ruzd-Ruzd.service"));
    EXPECT_FALSE(fs::exists(units / "ruzd-Ruzd.timer"));
    CloseServiceHandle(service);
    CloseServiceHandle(manager);

    EXPECT_EQ(testing::ReadWholeFile(calls),
              "daemon-reload\n"
              "enable ruzd-Ruzd.service\n"
              "disable ruzd-Ruzd.service\n"
              "daemon-reload\n"
              "enable ruzd-Ruzd.timer\n"
              "start --no-block ruzd-Ruzd.service\n"
              "disable ruzd-Ruzd.service ruzd-Ruzd.timer\n"
              "daemon-reload\n");
}

}  // namespace
}  // namespace ruzd::platform
