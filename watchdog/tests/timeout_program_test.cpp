// A watchdog whose countdown runs out, as a child process on a fast clock: what it runs, sends,
// records, closes and restarts, seen from outside.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/computer_name.h"
#include "platform/stop_signals.h"
#include "platform/window_endpoint.h"
#include "platform/window_message.h"
#include "testing/child_program.h"
#include "testing/eventually.h"
#include "testing/loopback_socket.h"
#include "testing/os_for_tests.h"
#include "testing/syslog_line.h"
#include "testing/temp_root.h"
#include "testing/tormbel_program.h"
#include "testing/unix_sockets.h"
#include "testing/virtual_display.h"
#include "watchdog/screen_shot.h"

namespace ruzd::watchdog {
namespace {

namespace fs = std::filesystem;
using testing::CountOf;
using testing::Eventually;
using testing::TormbelProcess;

constexpr const char* kFastClock = "RUZD_TIME_SCALE=10";
constexpr const char* kLocalTimeout = "***** Tormbel LOCAL TIMEOUT *****";
const int kTerminate = platform::SignalNumber(platform::StopSignal::kTerminate);
// A command that outlasts every wait of a test; the runner's bound (120 s) ends it, or its own
// end does once the watchdog is gone.
constexpr const char* kEndlessCommand = "-Csleep 200";
constexpr const char* kCommandStarted = "ExecuteCommand: Executing 'sleep 200'";
// The exit status of a program that a stop signal ended: 128 and the signal's number.
constexpr int kEndedBySignal = 128 + 15;

std::string Port(unsigned port) {
    return std::to_string(port);
}

// A window of another program, with the title given; it tells each message it takes.
class OtherWindow {
public:
    explicit OtherWindow(const std::string& title)
        : child_("platform_message_window_child", {"CentralWindow", title, "0"}) {
        ready_ = child_.ReadLine() == "ready";
    }
    bool ready() const { return ready_; }
    pid_t pid() const { return child_.pid(); }
    // Whether the window takes a message of the line's form ("posted 0x10 0 0").
    bool Takes(const std::string& line) {
        for (auto next = child_.ReadLine(); next; next = child_.ReadLine()) {
            if (*next == line) {
                return true;
            }
        }
        return false;
    }

private:
    testing::ChildProgram child_;
    bool ready_ = false;
};

class TimeoutProgramTest : public ::testing::Test {
protected:
    std::unique_ptr<TormbelProcess> Start(std::vector<std::string> arguments,
                                          std::vector<std::string> environment = {}) {
        environment.push_back(kFastClock);
        return std::make_unique<TormbelProcess>(root_.path(), work_.path() / "dog",
                                                std::move(arguments), std::move(environment));
    }

    static std::string Stop(TormbelProcess& dog) {
        dog.Signal(kTerminate);
        EXPECT_EQ(dog.WaitForExit(), 0);
        return dog.Log();
    }

    testing::TempRoot root_;
    testing::TempDir work_;
};

TEST_F(TimeoutProgramTest, TheCommandsExitCodeAndOutputAreLoggedAndNoScreenMeansNoShot) {
    const std::string command =
        "sh -c \"echo first; echo second >&2; printf 'third\\r\\n'; exit 3\"";
    auto dog = Start({"-I31", "-U", "-C" + command}, {"DISPLAY=:9999"});
    ASSERT_TRUE(dog->WaitForLog("ExecuteCommand: Command finished with ExitCode=3"));
    const std::string log = Stop(*dog);
    EXPECT_NE(log.find("TakeScreenShot: Storing screen in "), std::string::npos);
    EXPECT_NE(log.find("TakeScreenShot: Failed to store screen in bitmap\r\n"), std::string::npos);
    EXPECT_NE(log.find("ExecuteCommand: Executing '" + command + "', timeout=120s\r\n"),
              std::string::npos);
    // The output's lines are the file's lines; its own carriage returns are blanks.
    EXPECT_NE(log.find("ExecuteCommand: Command finished with ExitCode=3\r\nOutput:\r\n"
                       "first\r\nsecond\r\nthird \r\n\r\n"),
              std::string::npos)
        << log;
    for (size_t at = log.find('\n'); at != std::string::npos; at = log.find('\n', at + 1)) {
        ASSERT_TRUE(at > 0 && log[at - 1] == '\r') << "a bare line feed at " << at << ":\n" << log;
    }
    EXPECT_EQ(log.find("\r\r"), std::string::npos);
    EXPECT_EQ(log.find("Fallback"), std::string::npos);
}

// The log is one Windows-1252 file, its own lines and the command's UTF-8 output alike: iconv
// reads it whole. U+2713 and U+0141 have no byte in the code page (the second's UTF-8 holds 0x81,
// a byte the code page leaves undefined); a byte that is no UTF-8 is taken as Windows-1252.
TEST_F(TimeoutProgramTest, TheLogIsOneWindows1252FileThatIconvReadsWhole) {
    const std::string command =
        "sh -c \"echo 'Caf\xC3\xA9 \xE2\x82\xAC \xE2\x9C\x93'; printf '\\305\\201 \\351\\n'\"";
    auto dog = Start({"-I31", "-U", "-N", "-C" + command});
    ASSERT_TRUE(dog->WaitForLog("ExecuteCommand: Command finished with ExitCode=0"));
    Stop(*dog);

    const fs::path converted = work_.path() / "converted.txt";
    const fs::path errors = work_.path() / "iconv.err";
    testing::ProgramStart iconv;
    iconv.program = "/usr/bin/iconv";
    iconv.arguments = {"-f", "WINDOWS-1252", "-t", "UTF-8",
                       (dog->workdir() / "Tormbel.log").string()};
    iconv.stdout_file = converted;
    iconv.stderr_file = errors;
    EXPECT_EQ(testing::RunProgram(iconv), 0) << testing::ReadWholeFile(errors);
    const std::string text = testing::ReadWholeFile(converted);
    EXPECT_NE(text.find("ExecuteCommand: Executing 'sh -c \"echo 'Caf\xC3\xA9 \xE2\x82\xAC ?'; "),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Output:\r\nCaf\xC3\xA9 \xE2\x82\xAC ?\r\n? \xC3\xA9\r\n"),
              std::string::npos)
        << text;
}

TEST_F(TimeoutProgramTest, AMissingProgramFallsBackToTheShell) {
    auto dog = Start({"-I31", "-U", "-N", "-Cno-such-program-here"});
    ASSERT_TRUE(dog->WaitForLog("ExecuteCommand: Legacy execute failed with DosError="));
    const std::string log = Stop(*dog);
    EXPECT_NE(log.find("ExecuteCommand: ERROR Could not start process, error=2\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("ExecuteCommand: Fallback to legacy way of starting process.  No results "
                       "will be reported.\r\n"),
              std::string::npos);
    EXPECT_NE(log.find("ExecuteCommand: Legacy execute failed with DosError=127\r\n"),
              std::string::npos);
    EXPECT_EQ(log.find("TakeScreenShot"), std::string::npos);
}

TEST_F(TimeoutProgramTest, AlarmsReachTheMonitorAndEachPeerAndEveryTimeoutAddsACallout) {
    testing::RawListener monitor;
    ASSERT_TRUE(monitor.valid());
    const unsigned server_port = testing::FreePort();
    fs::create_directories(root_.path() / "drives" / "c" / "Btv");
    const fs::path callouts = root_.path() / "drives" / "c" / "Btv" / "Projec16.btv";
    std::ofstream(callouts, std::ios::binary).flush();
    auto dog = Start({"-I31", "-U", "-N", "-E", "-A127.0.0.1", "-O" + Port(monitor.port()),
                      "-Q" + Port(server_port), "-FC:\\Btv", "-T123"});
    testing::RawConnection to_monitor = monitor.Accept();
    ASSERT_TRUE(to_monitor.valid());
    testing::RawConnection peer =
        testing::RawConnection::ConnectFromAddress("127.0.0.2", server_port);
    ASSERT_TRUE(Eventually([&] {
        return peer.valid() ||
               (peer = testing::RawConnection::ConnectFromAddress("127.0.0.2", server_port))
                   .valid();
    }));

    const std::string alarm =
        "\x02"
        "5;3;100;" +
        platform::ComputerName().value_or("") + ": The Orvanthella is not responding anymore!;\x03";
    EXPECT_EQ(to_monitor.ReadText(alarm.size()), alarm);
    EXPECT_EQ(peer.ReadText(std::strlen("ALARM:127.0.0.1")), "ALARM:127.0.0.1");
    ASSERT_TRUE(dog->WaitForLog(kLocalTimeout, 2));
    EXPECT_TRUE(Eventually([&] { return testing::ReadWholeFile(callouts).size() == 500; }));
    const std::string records = testing::ReadWholeFile(callouts);
    EXPECT_EQ(records[12], 1);
    EXPECT_EQ(records[250 + 12], 2);
    EXPECT_EQ(std::string(records.data() + 55), "123");
    Stop(*dog);
}

TEST_F(TimeoutProgramTest, ARebootAsksTheCentralWindowFirstAndEndsTheTimeouts) {
    OtherWindow central("Orvanthella");
    ASSERT_TRUE(central.ready());
    const fs::path mark = work_.path() / "rebooted";
    auto dog =
        Start({"-I31", "-U", "-N", "-B"}, {"RUZD_REBOOT_COMMAND=touch '" + mark.string() + "'"});
    ASSERT_TRUE(
        dog->WaitForLog("Reboot: InitiateSystemShutdownEx succeeded.  System will now "
                        "reboot."));
    EXPECT_TRUE(central.Takes("posted 0x47B 0 0"));
    EXPECT_TRUE(fs::exists(mark));
    const std::string log = dog->Log();
    EXPECT_NE(log.find("Reboot: Asking Orvanthella to force shutdown (and wait 5 seconds), hWnd=" +
                       std::to_string(central.pid()) + "\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Reboot: Initiating system shutdown, Delay=10s\r\n"), std::string::npos);
    // Two more countdowns pass without another time-out: the watchdog only counts from now on.
    EXPECT_FALSE(Eventually([&] { return CountOf(dog->Log(), kLocalTimeout) > 1; },
                            std::chrono::milliseconds(7000)));
    Stop(*dog);
}

TEST_F(TimeoutProgramTest, ARebootThatIsNotAllowedFailsWithFiveWithoutACentralWindow) {
    auto dog = Start({"-I31", "-U", "-N", "-B"});
    ASSERT_TRUE(dog->WaitForLog("Reboot: InitiateSystemShutdownEx failed, Error=5"));
    EXPECT_NE(dog->Log().find("Reboot: Not asking Orvanthella to force shutdown (Orvanthella "
                              "window not found)\r\n"),
              std::string::npos);
    EXPECT_TRUE(Eventually([&] {
        return dog->Stderr().find("Error rebooting system, Error=5") != std::string::npos;
    }));
    Stop(*dog);
}

// The account that runs the watchdog beside the watched programs seldom may restart the machine:
// the refusal comes at the time-out, with its box, and not ten seconds later in a helper that
// nobody watches.
TEST_F(TimeoutProgramTest, ARebootIsRefusedAtOnceToAnAccountThatMayNotRestartTheMachine) {
    if (!testing::RunningAsRoot()) {
        GTEST_SKIP() << "only root can start the watchdog as another account";
    }
    const fs::path folder = work_.path() / "dog";
    fs::create_directories(folder);
    // The account's own root and working folder, as it would run on a machine; a root that
    // another account may write is refused.
    fs::permissions(work_.path(), fs::perms::others_exec, fs::perm_options::add);
    for (const fs::path& own : {root_.path(), folder}) {
        ASSERT_TRUE(testing::GiveToNobody(own));
    }
    for (const auto& entry : fs::recursive_directory_iterator(root_.path())) {
        ASSERT_TRUE(testing::GiveToNobody(entry.path()));
    }
    TormbelProcess dog(root_.path(), folder, {"-I31", "-U", "-N", "-B"},
                       {kFastClock, "RUZD_ALLOW_REBOOT=1"}, {}, 0,
                       {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    ASSERT_TRUE(dog.WaitForLog("Reboot: InitiateSystemShutdownEx failed, Error=5")) << dog.Stderr();
    EXPECT_TRUE(Eventually(
        [&] { return dog.Stderr().find("Error rebooting system, Error=5") != std::string::npos; }));
    EXPECT_EQ(dog.Log().find("System will now reboot"), std::string::npos);
    dog.Signal(kTerminate);
    EXPECT_EQ(dog.WaitForExit(), 0);
}

TEST_F(TimeoutProgramTest, AStandInRebootThatFailsShowsItsExitStatus) {
    auto dog = Start({"-I31", "-U", "-N", "-B"}, {"RUZD_REBOOT_COMMAND=exit 3"});
    ASSERT_TRUE(dog->WaitForLog("Reboot: InitiateSystemShutdownEx failed, Error=3"));
    EXPECT_TRUE(Eventually([&] {
        return dog->Stderr().find("Error rebooting system, Error=3") != std::string::npos;
    }));
    Stop(*dog);
}

// The helper runs a stand-in systemctl that refuses, found both through RUZD_SYSTEMCTL and
// first on PATH, so that no test ever reaches the real one.
TEST_F(TimeoutProgramTest, ADelayedRebootThatSystemctlRefusesIsAnErrorInSyslogAndTheLog) {
    const fs::path stand_ins = work_.path() / "bin";
    fs::create_directories(stand_ins);
    const fs::path systemctl = stand_ins / "systemctl";
    std::ofstream(systemctl) << "#!/bin/sh\necho \"Access denied\" >&2\nexit 1\n";
    fs::permissions(systemctl, fs::perms::owner_all);
    testing::DatagramSink syslog(work_.path() / "log.socket");
    ASSERT_TRUE(syslog.bound());
    const char* path = std::getenv("PATH");
    auto dog = Start({"-I31", "-U", "-N", "-B"},
                     {"RUZD_ALLOW_REBOOT=1", "RUZD_SYSTEMCTL=" + systemctl.string(),
                      "PATH=" + stand_ins.string() + ":" + (path != nullptr ? path : "/usr/bin"),
                      "RUZD_SYSLOG_SOCKET=" + syslog.path().string()});
    ASSERT_TRUE(dog->WaitForLog("Reboot: InitiateSystemShutdownEx succeeded."));
    const std::string failure =
        "Reboot: ERROR '" + systemctl.string() + " reboot' failed, ExitCode=1";
    ASSERT_TRUE(dog->WaitForLog(failure)) << dog->Log();
    bool reported = false;
    bool announced = false;
    while (!reported) {
        const std::optional<std::string> datagram = syslog.Receive(std::chrono::seconds(60));
        ASSERT_TRUE(datagram) << "no ERROR line in syslog";
        const std::optional<testing::SyslogLine> line = testing::ParseSyslogLine(*datagram);
        ASSERT_TRUE(line) << *datagram;
        announced = announced || line->message == "System reboot by Tormbel";
        reported = line->message == failure && line->tag == "Tormbel" && line->priority % 8 == 3;
    }
    EXPECT_TRUE(announced);
    Stop(*dog);
}

// A remote time-out's command that never ends: the watchdog goes on taking the heartbeat and
// counting, as it does for the local time-out's.
TEST_F(TimeoutProgramTest, ARemoteTimeoutsEndlessCommandLeavesTheHeartbeatAndTheCountdownGoing) {
    auto dog = Start({"-I31", "-U", "-N", "-A127.0.0.2", "-O" + Port(testing::FreePort()),
                      "-Q" + Port(testing::FreePort()), kEndlessCommand});
    ASSERT_TRUE(dog->WaitForLog("***** Tormbel REMOTE TIMEOUT *****"));
    ASSERT_TRUE(dog->WaitForLog(kCommandStarted));
    platform::WindowHandle window = platform::FindWindow("Tormbel");
    ASSERT_TRUE(window);
    for (int heartbeat = 0; heartbeat < 3; ++heartbeat) {
        intptr_t reply = 0;
        EXPECT_TRUE(platform::SendMessageTimeout(window, 0x160F, 0, 0, 10000, &reply));
        EXPECT_EQ(reply, 1);
    }
    dog->Kill();
}

// A host name whose look-up never ends (the name service gone: the look-up of /etc/hosts is
// held back for ten minutes) keeps the watchdog neither from the heartbeat nor from its
// time-outs.
TEST_F(TimeoutProgramTest, APeerNameThatNeverResolvesHoldsNeitherTheHeartbeatNorTheCountdown) {
    auto dog = std::make_unique<TormbelProcess>(
        root_.path(), work_.path() / "dog",
        std::vector<std::string>{"-I31", "-U", "-N", "-Ctrue", "-Alocalhost",
                                 "-O" + Port(testing::FreePort()),
                                 "-Q" + Port(testing::FreePort())},
        std::vector<std::string>{kFastClock}, fs::path(), 0,
        std::vector<std::string>{"/usr/bin/strace", "-f", "-qq", "-o", "/dev/null", "-P",
                                 "/etc/hosts", "-e", "inject=openat:delay_exit=600000000"});
    platform::WindowHandle window;
    ASSERT_TRUE(
        Eventually([&] { return static_cast<bool>(window = platform::FindWindow("Tormbel")); }));
    EXPECT_TRUE(Eventually([&] {
        intptr_t reply = 0;
        return platform::SendMessageTimeout(window, 0x160F, 0, 0, 1000, &reply) && reply == 1;
    }));
    EXPECT_TRUE(dog->WaitForLog(kLocalTimeout, 2)) << dog->Log();
    // The watchdog under strace is not the test's child: it is ended by the pid of its window.
    if (const auto parts = platform::window_endpoint::ParseEndpointName(window.endpoint())) {
        testing::KillProgram(static_cast<pid_t>(parts->pid));
    }
    dog->Kill();
}

// A stop that waits for the time-out command: a second SIGTERM ends the watchdog at once, and
// without one the stop's bound does; each says what the stop waited for, and takes the command
// with it, down to what the command started: nothing runs on, re-parented to init.
TEST_F(TimeoutProgramTest, AStopHeldByTheCommandEndsAtASecondSigtermOrAtItsBound) {
    const std::string command = "sh -c \"sleep 200 & echo $$ $! > command.pids; wait\"";
    const std::string started = "ExecuteCommand: Executing '" + command + "'";
    const std::string waited = "the stop waits for the time-out command (-C) to end\n";
    const auto command_started = [](const TormbelProcess& dog) {
        return testing::ReadWholeFile(dog.workdir() / "command.pids").find('\n') !=
               std::string::npos;
    };
    // The command's shell and the sleep it started, gone within 5 s of the watchdog's end.
    const auto command_ends_with = [](TormbelProcess& dog) {
        int shell = 0;
        int sleeper = 0;
        std::ifstream(dog.workdir() / "command.pids") >> shell >> sleeper;
        ASSERT_GT(shell, 0);
        ASSERT_GT(sleeper, 0);
        EXPECT_EQ(dog.WaitForExit(), kEndedBySignal);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!(testing::ProcessHasEnded(shell) && testing::ProcessHasEnded(sleeper)) &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_TRUE(testing::ProcessHasEnded(shell));
        EXPECT_TRUE(testing::ProcessHasEnded(sleeper));
    };
    {
        auto dog = Start({"-I31", "-U", "-N", "-C" + command});
        ASSERT_TRUE(dog->WaitForLog(started));
        ASSERT_TRUE(Eventually([&] { return command_started(*dog); }));
        dog->Signal(kTerminate);
        ASSERT_TRUE(dog->WaitForLog("ExecuteCommand: Stop requested, waiting for the command"));
        dog->Signal(kTerminate);
        command_ends_with(*dog);
        EXPECT_NE(
            dog->Stderr().find("Tormbel: a second stop signal ends the program at once; " + waited),
            std::string::npos)
            << dog->Stderr();
    }
    fs::remove(work_.path() / "dog" / "Tormbel.log");
    fs::remove(work_.path() / "dog" / "command.pids");
    auto dog = Start({"-I31", "-U", "-N", "-C" + command});
    ASSERT_TRUE(dog->WaitForLog(started));
    ASSERT_TRUE(Eventually([&] { return command_started(*dog); }));
    dog->Signal(kTerminate);
    command_ends_with(*dog);
    EXPECT_NE(dog->Stderr().find("Tormbel: the stop has not ended within 30 s; " + waited),
              std::string::npos)
        << dog->Stderr();
}

TEST_F(TimeoutProgramTest, TheCentralWindowIsClosedShortlyBeforeTheTimeout) {
    OtherWindow central("xx Orvanthella yy");
    ASSERT_TRUE(central.ready());
    auto dog = Start({"-I31", "-U", "-N", "-K5", "-Ctrue"});
    EXPECT_TRUE(central.Takes("posted 0x10 0 0"));
    Stop(*dog);
}

TEST_F(TimeoutProgramTest, OneScreenShotPerOutageAsA24BitBitmap) {
    testing::VirtualDisplay display("320x240x24");
    if (!display.ready()) {
        GTEST_SKIP() << "no virtual X server";
    }
    // FIFOs in the places of the shots of the minutes around: replaced, never waited on.
    fs::create_directories(work_.path() / "dog");
    std::vector<std::string> fifos;
    for (int minute = -1; minute <= 3; ++minute) {
        fifos.push_back(ScreenShotFileName(platform::NowSeconds() + 60 * minute));
        ASSERT_TRUE(testing::MakeFifo(work_.path() / "dog" / fifos.back()));
    }
    auto dog = Start({"-I31", "-U", "-Ctrue"}, {"DISPLAY=" + display.name()});
    ASSERT_TRUE(dog->WaitForLog(kLocalTimeout, 2));
    Stop(*dog);
    std::vector<fs::path> shots;
    for (const auto& entry : fs::directory_iterator(work_.path() / "dog")) {
        if (entry.path().extension() == ".BMP" && entry.is_regular_file()) {
            shots.push_back(entry.path());
        }
    }
    ASSERT_EQ(shots.size(), 1u);
    EXPECT_NE(std::find(fifos.begin(), fifos.end(), shots[0].filename().string()), fifos.end())
        << shots[0];
    const std::string bytes = testing::ReadWholeFile(shots[0]);
    const auto u32 = [&bytes](size_t offset) {
        uint32_t value = 0;
        std::memcpy(&value, bytes.data() + offset, 4);
        return value;
    };
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(u32(2), bytes.size());
    EXPECT_EQ(u32(10), 54u);
    EXPECT_EQ(u32(14), 40u);
    EXPECT_EQ(u32(18), 320u);
    EXPECT_EQ(u32(22), 240u);
    EXPECT_EQ(bytes[28], 24);
    EXPECT_EQ(u32(30), 0u);
    EXPECT_EQ(u32(34), 320u * 3 * 240);
    EXPECT_EQ(bytes.size(), 54u + 320 * 3 * 240);
}

}  // namespace
}  // namespace ruzd::watchdog
