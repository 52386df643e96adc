// Crash dumps of a watched program: the watchdog attaches on a heartbeat to a helper that runs
// under a watched program's name, and the helper crashes or handles its own fault.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/program_runner.h"
#include "platform/registry.h"
#include "platform/stop_signals.h"
#include "platform/text.h"
#include "platform/win_error.h"
#include "platform/window_message.h"
#include "testing/child_program.h"
#include "testing/eventually.h"
#include "testing/loopback_socket.h"
#include "testing/os_for_tests.h"
#include "testing/small_tmpfs.h"
#include "testing/temp_root.h"
#include "testing/tormbel_program.h"
#include "testing/virtual_display.h"

namespace ruzd::watchdog {
namespace {

namespace fs = std::filesystem;
using testing::Eventually;
using testing::TormbelProcess;

constexpr uint32_t kHeartbeat = 0x160F;
constexpr int kSegvExit = 128 + 11;
constexpr int kAbortExit = 128 + 6;

class DumpProgramTest : public ::testing::Test {
protected:
    // The helper under `name`, started (as the user "nobody" when asked, which only root can
    // do); it has said "ready".
    std::unique_ptr<testing::ChildProgram> StartHelper(const std::string& name,
                                                       bool as_nobody = false) {
        fs::create_directories(work_.path() / "bin");
        helper_path_ = work_.path() / "bin" / name;
        fs::copy_file(testing::ProgramFolder() / "watchdog_crash_helper", helper_path_,
                      fs::copy_options::overwrite_existing);
        auto helper = as_nobody
                          ? std::make_unique<testing::ChildProgram>(
                                "/usr/bin/setpriv",
                                std::vector<std::string>{"--reuid=65534", "--regid=65534",
                                                         "--clear-groups", helper_path_.string()})
                          : std::make_unique<testing::ChildProgram>(helper_path_.string(),
                                                                    std::vector<std::string>{});
        EXPECT_EQ(helper->ReadLine(), "ready");
        return helper;
    }

    std::unique_ptr<TormbelProcess> StartDog(std::vector<std::string> arguments,
                                             std::vector<std::string> environment = {}) {
        return std::make_unique<TormbelProcess>(root_.path(), work_.path() / dog_folder_,
                                                std::move(arguments), std::move(environment));
    }

    // Sends one heartbeat; its reply comes once the watchers have been seen to.
    static void Heartbeat() {
        platform::WindowHandle window;
        ASSERT_TRUE(Eventually(
            [&] { return static_cast<bool>(window = platform::FindWindow("Tormbel")); }));
        intptr_t result = 0;
        ASSERT_TRUE(Eventually([&] {
            return platform::SendMessageTimeout(window, kHeartbeat, 0, 0, 10000, &result) &&
                   result == 1;
        }));
    }

    static bool Traced(pid_t pid) {
        const std::string status =
            testing::ReadWholeFile("/proc/" + std::to_string(pid) + "/status");
        const size_t at = status.find("TracerPid:");
        return at != std::string::npos && std::atoi(status.c_str() + at + 10) != 0;
    }

    std::vector<fs::path> Dumps(const std::string& extension) const {
        std::vector<fs::path> found;
        std::error_code error;
        for (const auto& entry :
             fs::directory_iterator(work_.path() / dog_folder_ / "Dumps", error)) {
            if (entry.path().extension() == extension) {
                found.push_back(entry.path());
            }
        }
        return found;
    }

    // The named frames of gdb's backtrace of the dump, innermost first, and gdb's whole output.
    std::vector<std::string> Backtrace(const fs::path& dump, std::string& output) const {
        foundation::ProgramRunner::Run("gdb -batch -iex \"set debuginfod enabled off\" -ex bt " +
                                           helper_path_.string() + " " + dump.string(),
                                       "", output, 120000);
        std::vector<std::string> names;
        std::istringstream lines(output);
        std::string line;
        while (std::getline(lines, line)) {
            if (line.empty() || line[0] != '#') {
                continue;
            }
            // gdb shows the crashing frame once before the backtrace starts.
            if (line.rfind("#0 ", 0) == 0) {
                names.clear();
            }
            // "#3  0x000055d0c0a0b1c9 in main () at ..." or "#0  LengthOfNothing () at ...".
            size_t at = line.find_first_not_of(' ', line.find(' '));
            const size_t in = line.find(" in ", at);
            if (line.compare(at, 2, "0x") == 0 && in != std::string::npos) {
                at = in + 4;
            }
            // With the C library's debugging symbols its functions show their inner names.
            for (const std::string prefix : {"(anonymous namespace)::", "__GI_"}) {
                if (line.compare(at, prefix.size(), prefix) == 0) {
                    at += prefix.size();
                }
            }
            const std::string name = line.substr(at, line.find(' ', at) - at);
            if (name != "??") {
                names.push_back(name);
            }
        }
        return names;
    }

    testing::TempRoot root_;
    testing::TempDir work_;
    fs::path helper_path_;
    std::string dog_folder_ = "dog";
};

// Whether `names` holds `chain` in its order, each right after the one before.
bool HasChain(const std::vector<std::string>& names, const std::vector<std::string>& chain) {
    return std::search(names.begin(), names.end(), chain.begin(), chain.end()) != names.end();
}

#define SKIP_WITHOUT_TRACING(dog, helper)                                               \
    if (!Eventually([&] {                                                               \
            return Traced((helper)->pid()) ||                                           \
                   (dog)->Log().find("DebugActiveProcess failed") != std::string::npos; \
        }) ||                                                                           \
        !Traced((helper)->pid())) {                                                     \
        GTEST_SKIP() << "tracing is refused here";                                      \
    }

TEST_F(DumpProgramTest, ACrashLeavesAMiniAndAMidiDumpThatNameTheCrashingFunction) {
    auto helper = StartHelper("Glimbor");
    auto dog = StartDog({"-I60", "-M", "-Ctrue"});
    Heartbeat();
    SKIP_WITHOUT_TRACING(dog, helper);
    const pid_t helper_pid = helper->pid();
    helper->WriteLine("crash");
    EXPECT_EQ(helper->Wait(), kSegvExit);
    ASSERT_TRUE(dog->WaitForLog("DebugThread: Done"));
    const std::string log = dog->Log();
    EXPECT_NE(log.find("Second-chance Exception 0xb at 0x"), std::string::npos) << log;
    EXPECT_NE(log.find("CreateDump: Creating dump for Glimbor, ProcessID=" +
                       std::to_string(helper_pid) + ", Midi=1"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("CreateDump: ERROR GetFileVersionInfoSize failed, Error=1813"),
              std::string::npos);
    const std::vector<fs::path> mini = Dumps(".mdmp");
    const std::vector<fs::path> midi = Dumps(".dmp");
    ASSERT_EQ(mini.size(), 1u);
    ASSERT_EQ(midi.size(), 1u);
    EXPECT_EQ(mini[0].filename().string().rfind("Glimbor__", 0), 0u);
    EXPECT_LT(fs::file_size(mini[0]), fs::file_size(midi[0]));
    for (const fs::path& dump : {mini[0], midi[0]}) {
        std::string output;
        EXPECT_TRUE(HasChain(Backtrace(dump, output), {"CrashInHelperFunction", "main"})) << output;
    }
    // The process the dump let go is gone: no error for it.
    EXPECT_EQ(log.find("ERROR DebugActiveProcess"), std::string::npos) << log;
    dog->Signal(platform::SignalNumber(platform::StopSignal::kTerminate));
    EXPECT_EQ(dog->WaitForExit(), 0);
}

TEST_F(DumpProgramTest, ACrashInsideASharedLibraryUnwindsToMainInBothDumps) {
    struct Case {
        std::string command;
        int exit_code;
        std::string signal_name;
        // Named frames gdb must show, each the caller of the one before.
        std::vector<std::string> chain;
    };
    const std::string library =
        (testing::ProgramFolder() / "libwatchdog_crash_library.so").string();
    const std::vector<Case> cases = {
        {"abort", kAbortExit, "SIGABRT", {"abort", "AbortInHelperFunction", "main"}},
        // strlen of a null pointer: the C library's code called from a library of the program's.
        {"library " + library,
         kSegvExit,
         "SIGSEGV",
         {"LengthOfNothing", "CrashInsideLibrary", "CallIntoLibrary", "main"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        dog_folder_ = c.command.substr(0, c.command.find(' '));
        auto helper = StartHelper("Glimbor");
        auto dog = StartDog({"-I60", "-M", "-Ctrue"});
        Heartbeat();
        SKIP_WITHOUT_TRACING(dog, helper);
        helper->WriteLine(c.command);
        EXPECT_EQ(helper->Wait(), c.exit_code);
        ASSERT_TRUE(dog->WaitForLog("DebugThread: Done"));
        const std::vector<fs::path> mini = Dumps(".mdmp");
        const std::vector<fs::path> midi = Dumps(".dmp");
        ASSERT_EQ(mini.size(), 1u);
        ASSERT_EQ(midi.size(), 1u);
        // What gdb needs to find the libraries stays small beside the stacks.
        EXPECT_LT(fs::file_size(mini[0]), 4u << 20);
        for (const fs::path& dump : {mini[0], midi[0]}) {
            std::string output;
            EXPECT_TRUE(HasChain(Backtrace(dump, output), c.chain)) << dump << "\n" << output;
            EXPECT_EQ(output.find("No shared libraries loaded"), std::string::npos) << output;
            EXPECT_NE(output.find("Program terminated with signal " + c.signal_name),
                      std::string::npos)
                << output;
        }
        const std::string log = dog->Log();
        EXPECT_EQ(log.find("ERROR DebugActiveProcess"), std::string::npos) << log;
        dog->Signal(platform::SignalNumber(platform::StopSignal::kTerminate));
        EXPECT_EQ(dog->WaitForExit(), 0);
    }
}

TEST_F(DumpProgramTest, AHandledFaultIsOnlyAFirstChanceAndTheDaysFileKeepsIt) {
    auto helper = StartHelper("GLIMBORU");
    // In lower case among other options, "-h" is the first-chance log, not a request for help.
    auto dog = StartDog({"-I60", "-h", "-Ctrue"});
    Heartbeat();
    SKIP_WITHOUT_TRACING(dog, helper);
    helper->WriteLine("raise");
    EXPECT_EQ(helper->ReadLine(), "handled");
    helper->CloseStdin();
    EXPECT_EQ(helper->Wait(), 0);
    ASSERT_TRUE(dog->WaitForLog("DebugThread: Done"));
    const std::string log = dog->Log();
    EXPECT_NE(log.find("First-chance Exception 0xb at 0x"), std::string::npos) << log;
    EXPECT_NE(log.find("Process debug event 0"), std::string::npos);
    EXPECT_EQ(log.find("Second-chance"), std::string::npos);
    EXPECT_EQ(log.find("ERROR"), std::string::npos);
    EXPECT_TRUE(Dumps(".mdmp").empty());
    const std::vector<fs::path> days = Dumps(".log");
    ASSERT_EQ(days.size(), 1u);
    const std::string lines = testing::ReadWholeFile(days[0]);
    EXPECT_NE(lines.find(" : First-chance Exception 0xb at 0x"), std::string::npos) << lines;
    EXPECT_EQ(lines.substr(lines.size() - 2), "\r\n");
    dog->Signal(platform::SignalNumber(platform::StopSignal::kTerminate));
    EXPECT_EQ(dog->WaitForExit(), 0);
}

// The dump folder on a full disk, for real: a small tmpfs that the test fills up. The first
// chance's line and both dumps find no room, and the log says so for each; the watched program
// is let go all the same.
TEST_F(DumpProgramTest, ADumpOrAFirstChanceLineThatFindsNoRoomIsAnErrorInTheLog) {
    ASSERT_TRUE(testing::RunningAsRoot()) << "only root may mount a tmpfs";
    testing::SmallTmpfs disk(work_.path() / dog_folder_ / "Dumps", 1 << 20);
    ASSERT_TRUE(disk.mounted());
    disk.FillUp();
    auto handler = StartHelper("GLIMBORU");
    auto dog = StartDog({"-I60", "-h", "-M", "-Ctrue"});
    Heartbeat();
    SKIP_WITHOUT_TRACING(dog, handler);
    handler->WriteLine("raise");
    EXPECT_EQ(handler->ReadLine(), "handled");
    handler->CloseStdin();
    EXPECT_EQ(handler->Wait(), 0);
    ASSERT_TRUE(dog->WaitForLog("DebugThread: Done"));
    // A program without a handler of its own, watched from the next heartbeat on.
    auto helper = StartHelper("Glimbor");
    Heartbeat();
    SKIP_WITHOUT_TRACING(dog, helper);
    helper->WriteLine("crash");
    EXPECT_EQ(helper->Wait(), kSegvExit);
    ASSERT_TRUE(dog->WaitForLog("DebugThread: Done", 2));
    const std::string log = dog->Log();
    const size_t first_chance = log.find("LogFirstChance: ERROR Could not write to .\\Dumps\\");
    ASSERT_NE(first_chance, std::string::npos) << log;
    EXPECT_EQ(log.find(", Error=112\r\n", first_chance), log.find("\r\n", first_chance) - 11)
        << log;
    EXPECT_EQ(testing::CountOf(log,
                               "CreateDump: ERROR Could not write dump file, WriteFile "
                               "failed, Error=112\r\n"),
              2u)
        << log;
    dog->Signal(platform::SignalNumber(platform::StopSignal::kTerminate));
    EXPECT_EQ(dog->WaitForExit(), 0);
}

TEST_F(DumpProgramTest, WithoutCrashDumpsNothingIsWatched) {
    auto helper = StartHelper("Pelwix");
    auto dog = StartDog({"-I60", "-U", "-Ctrue"});
    Heartbeat();
    EXPECT_FALSE(Traced(helper->pid()));
    dog->Signal(platform::SignalNumber(platform::StopSignal::kTerminate));
    EXPECT_EQ(dog->WaitForExit(), 0);
}

TEST_F(DumpProgramTest, AWatchedNameRunByAnotherUserIsLeftAloneAndOursIsWatched) {
    if (!testing::RunningAsRoot()) {
        GTEST_SKIP() << "only root starts a program as another user";
    }
    // The other user reaches the helper's folder.
    fs::permissions(work_.path(), fs::perms::others_exec | fs::perms::group_exec,
                    fs::perm_options::add);
    // Found first by its name, were the user not asked.
    auto stranger = StartHelper("Glimbor", true);
    auto ours = StartHelper("GlimborU");
    auto dog = StartDog({"-I60", "-Ctrue"});
    Heartbeat();
    EXPECT_FALSE(Traced(stranger->pid()));
    SKIP_WITHOUT_TRACING(dog, ours);
    Heartbeat();
    EXPECT_FALSE(Traced(stranger->pid()));
    EXPECT_EQ(dog->Log().find("DebugActiveProcess failed"), std::string::npos) << dog->Log();
    dog->Signal(platform::SignalNumber(platform::StopSignal::kTerminate));
    EXPECT_EQ(dog->WaitForExit(), 0);
}

// What the vendor's installation writes: a text value under HKEY_LOCAL_MACHINE.
void InstallText(const std::string& key_path, std::string_view name, std::string_view text) {
    platform::RegistryKey key;
    ASSERT_EQ(platform::RegistryKey::LocalMachine().CreateSubKey(
                  key_path, platform::RegAccess::kAllAccess, &key),
              platform::kErrorSuccess);
    const std::string bytes = platform::Utf8ToUtf16leBytes(text) + std::string(2, '\0');
    ASSERT_EQ(
        key.SetValue(name, platform::kRegSz, bytes.data(), static_cast<uint32_t>(bytes.size())),
        platform::kErrorSuccess);
}

TEST_F(DumpProgramTest, UnderTheFivePointOneReleaseOnlyTheGlimborProgramIsWatched) {
    const std::string information = "Software\\Dialogic\\System Information";
    InstallText(information, "ActiveSystemRelease", "Release 5.1");
    InstallText(information + "\\Release 5.1", "Product Name", "Dialogic System Release 5.1");
    auto node = StartHelper("Pelwix");
    auto glimbor = StartHelper("GlimborFRU");
    auto dog = StartDog({"-I60", "-Ctrue"});
    Heartbeat();
    SKIP_WITHOUT_TRACING(dog, glimbor);
    EXPECT_FALSE(Traced(node->pid()));
    dog->Signal(platform::SignalNumber(platform::StopSignal::kTerminate));
    EXPECT_EQ(dog->WaitForExit(), 0);
    // Let go at the end: the program goes on untraced.
    EXPECT_FALSE(Traced(glimbor->pid()));
}

TEST_F(DumpProgramTest, AWholeOutageLeavesDumpsAShotTheAlarmACalloutAndTheRebootsMark) {
    testing::VirtualDisplay display;
    testing::RawListener monitor;
    ASSERT_TRUE(monitor.valid());
    fs::create_directories(root_.path() / "drives" / "c" / "btv");
    const fs::path callouts = root_.path() / "drives" / "c" / "btv" / "PROJEC16.BTV";
    std::ofstream(callouts).flush();
    const fs::path mark = work_.path() / "rebooted";
    auto helper = StartHelper("Glimbor");
    std::vector<std::string> environment = {"RUZD_TIME_SCALE=10",
                                            "RUZD_REBOOT_COMMAND=touch '" + mark.string() + "'"};
    if (display.ready()) {
        environment.push_back("DISPLAY=" + display.name());
    }
    auto dog = StartDog({"-I60", "-M", "-E", "-O" + std::to_string(monitor.port()),
                         "-Q" + std::to_string(testing::FreePort()), "-FC:\\Btv", "-T123", "-B"},
                        environment);
    testing::RawConnection to_monitor = monitor.Accept();
    ASSERT_TRUE(to_monitor.valid());
    for (int i = 0; i < 3; ++i) {
        Heartbeat();
    }
    SKIP_WITHOUT_TRACING(dog, helper);
    helper->WriteLine("crash");
    EXPECT_EQ(helper->Wait(), kSegvExit);

    ASSERT_TRUE(dog->WaitForLog("Reboot: InitiateSystemShutdownEx succeeded."));
    EXPECT_EQ(Dumps(".mdmp").size(), 1u);
    EXPECT_EQ(Dumps(".dmp").size(), 1u);
    size_t shots = 0;
    for (const auto& entry : fs::directory_iterator(work_.path() / "dog")) {
        shots += entry.path().extension() == ".BMP" ? 1 : 0;
    }
    EXPECT_EQ(shots, display.ready() ? 1u : 0u);
    std::string received;
    EXPECT_TRUE(Eventually([&] {
        const std::vector<uint8_t> bytes = to_monitor.ReadSome(std::chrono::milliseconds(200));
        received.append(bytes.begin(), bytes.end());
        return received.find("not responding anymore!;\x03") != std::string::npos;
    }));
    // A heartbeat before the first show is answered with 2 and sent again.
    EXPECT_GE(testing::CountOf(received, "HEARTBEAT"), 3u);
    const std::string records = testing::ReadWholeFile(callouts);
    ASSERT_EQ(records.size(), 250u);
    EXPECT_EQ(records[12], 1);
    EXPECT_TRUE(fs::exists(mark));
    dog->Signal(platform::SignalNumber(platform::StopSignal::kTerminate));
    EXPECT_EQ(dog->WaitForExit(), 0);
}

}  // namespace
}  // namespace ruzd::watchdog
