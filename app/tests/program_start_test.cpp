// The node and the watchdog started on a machine unfit for them: a platform root they cannot
// write (read-only even for root, as the tests run) or that is a file, a root, a folder in it or
// a registry file that another account may write, a registry file they cannot read, one the
// Windows registry editor wrote (which they must read), the command port taken by another
// program. A start either stops at once with exit status 1 and one sentence
// that names the file and the reason, on stderr and in the log, leaving the files as they were,
// or runs on and says what it does.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/program_runner.h"
#include "platform/stop_signals.h"
#include "platform/text.h"
#include "testing/command_peer.h"
#include "testing/eventually.h"
#include "testing/loopback_socket.h"
#include "testing/node_program.h"
#include "testing/os_for_tests.h"
#include "testing/tormbel_program.h"

namespace ruzd::app {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr int kRefused = 1;
constexpr int kEntryExit = 255;  // the node's -1 after a stop

enum class Program { kPelwix, kTormbel };

// What a row makes of the machine before the program starts.
struct Machine {
    fs::path root;
    fs::path work;
    uint32_t command_port = 0;
    bool read_only_root = false;
    std::vector<std::string> environment;
    std::unique_ptr<testing::RawListener> port_holder;

    fs::path Store() const { return root / "registry.reg"; }
};

struct BadStart {
    std::string name;
    Program program;
    std::function<void(Machine&)> prepare;
    // The sentence of a refused start, for the machine; none for a start that runs on.
    std::function<std::string(const Machine&)> refusal;
    // For a node that runs on: what the test checks while it runs.
    std::function<void(Machine&, testing::NodeProcess&)> running;
};

void PrintTo(const BadStart& start, std::ostream* out) {
    *out << start.name;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Text as the Windows registry editor saves it: CR LF line ends, UTF-16LE after its byte-order
// mark. ASCII only, widened here by hand.
std::string RegeditBytes(const std::string& lines) {
    std::string bytes = "\xFF\xFE";
    for (char c : lines) {
        if (c == '\n') {
            bytes += std::string("\r\0", 2);
        }
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

std::string PelwixSection(uint32_t port) {
    return "Windows Registry Editor Version "
           "5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ruzd\\Pelwix]\n" +
           platform::Format("\"Local TCP port\"=dword:%08x\n", port);
}

std::string Run(const std::vector<std::string>& words, int* exitCode) {
    std::string output;
    *exitCode = foundation::ProgramRunner::RunArguments(words, "", output, 60000);
    return output;
}

// A node that listens on the port its regedit-encoded registry names writes the missing file
// port back in that same form: the real tools read the file as the Windows editor's. The file it
// writes is its account's alone to change.
void ReadsAndKeepsTheRegeditForm(Machine& machine, testing::NodeProcess& node) {
    testing::CommandPeer peer(machine.command_port, [&] { return node.HasEnded(); });
    EXPECT_TRUE(peer.IsConnected()) << node.Stderr();
    EXPECT_TRUE(node.WaitForLog("Local File Socket TCP port set to: 9071"));
    int exitCode = 0;
    EXPECT_THAT(Run({"file", "-b", machine.Store().string()}, &exitCode),
                HasSubstr("Windows Registry little-endian text"));
    const std::string text =
        Run({"iconv", "-f", "UTF-16", "-t", "UTF-8", machine.Store().string()}, &exitCode);
    EXPECT_EQ(exitCode, 0) << text;
    EXPECT_THAT(text, HasSubstr(platform::Format("\"Local TCP port\"=dword:%08x\r\n",
                                                 machine.command_port)));
    EXPECT_THAT(text, HasSubstr("\"Local File Socket TCP port\"=dword:0000236f\r\n"));
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
        ASSERT_TRUE(at > 0 && text[at - 1] == '\r') << "a bare line feed at " << at;
    }
    EXPECT_EQ(fs::status(machine.Store()).permissions(), fs::perms(0644));
}

// The node runs on without its command port and says so once, however often its listener is
// restarted (every second from the 61st on, here ten times as fast); it listens once the port
// is free, and says that too.
void RunsOnAndListensOnceThePortIsFree(Machine& machine, testing::NodeProcess& node) {
    const std::string port = std::to_string(machine.command_port);
    const std::string failure =
        "Pelwix: Cannot listen on port " + port + ": error 10048 (Address already in use)\n";
    EXPECT_TRUE(testing::Eventually([&] {
        return node.Stderr().find(failure) != std::string::npos;
    })) << node.Stderr();
    EXPECT_TRUE(node.WaitForLog("SOCKET RESET2!!"));
    EXPECT_FALSE(node.HasEnded());
    EXPECT_EQ(testing::CountOf(node.Stderr(), "Cannot listen on port"), 1u) << node.Stderr();
    // The restart's own failure follows its reset line.
    EXPECT_TRUE(testing::Eventually(
        [&] { return testing::CountOf(node.DebugLog(), "Cannot listen on port " + port) > 1u; }));

    machine.port_holder.reset();
    testing::CommandPeer peer(machine.command_port, [&] { return node.HasEnded(); });
    EXPECT_TRUE(peer.IsConnected()) << node.Stderr();
    // The line follows the listen that let the peer in, and may come a moment after it.
    const std::string listening = "Pelwix: Listening on port " + port + " now\n";
    EXPECT_TRUE(testing::Eventually([&] {
        return node.Stderr().find(listening) != std::string::npos;
    })) << node.Stderr();
}

std::vector<BadStart> BadStarts() {
    const auto readOnlyRoot = [](Machine& machine) { machine.read_only_root = true; };
    const auto rootIsAFile = [](Machine& machine) {
        machine.root = machine.work / "root-file";
        WriteFile(machine.root, "not a folder");
    };
    const auto garbageRegistry = [](Machine& machine) {
        WriteFile(machine.Store(),
                  "Windows Registry Editor Version 5.00\n\nthis line is no registry line\n");
    };
    const auto readOnly = [](const Machine& machine) {
        return "Cannot write in the platform root " + machine.root.string() +
               " (RUZD_ROOT): Read-only file system";
    };
    const auto aFile = [](const Machine& machine) {
        return "Cannot use the platform root " + machine.root.string() +
               " (RUZD_ROOT): Not a directory";
    };
    // A FIFO would hold the read of the file until a writer came: it is refused as a folder is.
    const auto fifoRegistry = [](Machine& machine) {
        fs::remove(machine.Store());
        ASSERT_TRUE(testing::MakeFifo(machine.Store()));
    };
    const auto fifo = [](const Machine& machine) {
        return "Cannot read the registry file " + machine.Store().string() +
               " (left as it is): not a regular file";
    };
    // Made beforehand by another account, or left open by one: whoever may write the root, a
    // folder in it or the registry file could change the node's settings or put a lock or a
    // library of their own in its place.
    const auto rootOpenToAll = [](Machine& machine) {
        fs::permissions(machine.root, fs::perms::all);
    };
    const auto rootOpenToAllRefusal = [](const Machine& machine) {
        return "Cannot use the platform root " + machine.root.string() +
               " (RUZD_ROOT): another account may write it (mode 0777, writable by every account)";
    };
    const auto registryOfNobody = [](Machine& machine) {
        ASSERT_TRUE(testing::GiveToNobody(machine.Store()));
    };
    const auto registryOfNobodyRefusal = [](const Machine& machine) {
        return "Cannot use the platform root " + machine.root.string() +
               " (RUZD_ROOT): another account may write its registry file " +
               machine.Store().string() + " (owned by uid 65534, nobody)";
    };
    const auto registryOpenToAll = [](Machine& machine) {
        fs::permissions(machine.Store(), fs::perms(0666));
    };
    const auto registryOpenToAllRefusal = [](const Machine& machine) {
        return "Cannot use the platform root " + machine.root.string() +
               " (RUZD_ROOT): another account may write its registry file " +
               machine.Store().string() + " (mode 0666, writable by every account)";
    };
    // The group "nogroup" is no account's own.
    const auto folderOfAGroup = [](Machine& machine) {
        const fs::path run = machine.root / "run";
        fs::create_directories(run);
        ASSERT_TRUE(testing::GiveToGroupNogroup(run));
        fs::permissions(run, fs::perms(0775));
    };
    const auto folderOfAGroupRefusal = [](const Machine& machine) {
        return "Cannot use the platform root " + machine.root.string() +
               " (RUZD_ROOT): another account may write its folder " +
               (machine.root / "run").string() + " (mode 0775, writable by the group nogroup)";
    };
    const auto garbage = [](const Machine& machine) {
        return "Cannot read the registry file " + machine.Store().string() +
               " (left as it is): line 3: value before the first key: this line is no registry "
               "line";
    };
    return {
        {"NodeOnAReadOnlyRoot", Program::kPelwix, readOnlyRoot, readOnly, {}},
        {"NodeOnARootThatIsAFile", Program::kPelwix, rootIsAFile, aFile, {}},
        {"NodeOnAGarbageRegistry", Program::kPelwix, garbageRegistry, garbage, {}},
        {"NodeOnARegistryThatIsAFifo", Program::kPelwix, fifoRegistry, fifo, {}},
        {"NodeOnARegistryThatIsNoUtf16Throughout",
         Program::kPelwix,
         [](Machine& machine) {
             std::string bytes = RegeditBytes(PelwixSection(machine.command_port) + "\"Owner\"=\"");
             bytes += std::string("\x00\xD8", 2);  // half a surrogate pair
             WriteFile(machine.Store(), bytes + RegeditBytes("\"\n").substr(2));
         },
         [](const Machine& machine) {
             return "Cannot read the registry file " + machine.Store().string() +
                    " (left as it is): line 5: an unpaired surrogate in UTF-16LE text: "
                    "\"Owner\"=\"\xEF\xBF\xBD\"";
         },
         {}},
        {"NodeOnTheRegistryEditorsUtf16",
         Program::kPelwix,
         [](Machine& machine) {
             WriteFile(machine.Store(), RegeditBytes(PelwixSection(machine.command_port)));
             // Its group is the account's own, which may write it; the node's rewrite is its
             // account's alone all the same.
             fs::permissions(machine.Store(), fs::perms(0664));
         },
         {},
         ReadsAndKeepsTheRegeditForm},
        {"NodeWithItsCommandPortTaken",
         Program::kPelwix,
         [](Machine& machine) {
             machine.port_holder = std::make_unique<testing::RawListener>(machine.command_port);
             machine.environment.push_back("RUZD_TIME_SCALE=10");
         },
         {},
         RunsOnAndListensOnceThePortIsFree},
        {"NodeOnARootOpenToAll", Program::kPelwix, rootOpenToAll, rootOpenToAllRefusal, {}},
        {"NodeOnARegistryFileOfAnotherAccount",
         Program::kPelwix,
         registryOfNobody,
         registryOfNobodyRefusal,
         {}},
        {"NodeOnAFolderAnotherGroupMayWrite",
         Program::kPelwix,
         folderOfAGroup,
         folderOfAGroupRefusal,
         {}},
        {"WatchdogOnARootOpenToAll", Program::kTormbel, rootOpenToAll, rootOpenToAllRefusal, {}},
        {"WatchdogOnARegistryFileOpenToAll",
         Program::kTormbel,
         registryOpenToAll,
         registryOpenToAllRefusal,
         {}},
        {"WatchdogOnAReadOnlyRoot", Program::kTormbel, readOnlyRoot, readOnly, {}},
        {"WatchdogOnARootThatIsAFile", Program::kTormbel, rootIsAFile, aFile, {}},
        {"WatchdogOnAGarbageRegistry", Program::kTormbel, garbageRegistry, garbage, {}},
        {"WatchdogOnARegistryThatIsAFifo", Program::kTormbel, fifoRegistry, fifo, {}},
    };
}

class ProgramStartTest : public testing::NodeProgramTest,
                         public ::testing::WithParamInterface<BadStart> {};

TEST_P(ProgramStartTest, StopsWithTheReasonOrRunsOnAndSaysWhatItDoes) {
    const BadStart& start = GetParam();
    Machine machine;
    machine.root = root_.path();
    machine.work = work_.path();
    machine.command_port = command_port_;
    start.prepare(machine);
    // What stands in the store's place, and the file's bytes (a FIFO's would hold the test).
    const fs::file_type storeType = fs::symlink_status(machine.Store()).type();
    const std::string storeBefore = storeType == fs::file_type::regular
                                        ? testing::ReadWholeFile(machine.Store())
                                        : std::string();
    const fs::path folder = work_.path() / "program";
    const fs::path readOnly = machine.read_only_root ? machine.root : fs::path();

    if (start.program == Program::kTormbel) {
        testing::TormbelProcess dog(machine.root, folder, {"-I60", "-U", "-Ctrue"},
                                    machine.environment, readOnly);
        const std::string sentence = start.refusal(machine);
        EXPECT_EQ(dog.WaitForExit(), kRefused);
        EXPECT_THAT(dog.Stderr(), HasSubstr("Tormbel: " + sentence + "\n"));
        EXPECT_THAT(dog.Stderr(), Not(HasSubstr("already running")));
        EXPECT_THAT(dog.Log(), HasSubstr(" " + sentence + "\r\n"));
    } else {
        testing::NodeProcess node(machine.root, folder, {"-debug", "-d"}, machine.environment,
                                  readOnly);
        if (start.refusal) {
            const std::string sentence = start.refusal(machine);
            EXPECT_EQ(node.WaitForExit(), kRefused);
            EXPECT_THAT(node.Stderr(), HasSubstr("Pelwix: " + sentence + "\n"));
            EXPECT_THAT(node.Stderr(), Not(HasSubstr("already running")));
            // The debug files are in the ANSI code page.
            EXPECT_THAT(node.DebugLog(),
                        HasSubstr("FATAL ERROR: " + platform::Utf8ToCp1252(sentence)));
            EXPECT_THAT(node.DebugLog(), Not(HasSubstr("Using default")));
        } else {
            start.running(machine, node);
            node.Signal(platform::SignalNumber(platform::StopSignal::kTerminate));
            EXPECT_EQ(node.WaitForExit(), kEntryExit);
        }
    }
    if (start.refusal && fs::is_directory(machine.root)) {
        EXPECT_EQ(fs::symlink_status(machine.Store()).type(), storeType);
        if (storeType == fs::file_type::regular) {
            EXPECT_EQ(testing::ReadWholeFile(machine.Store()), storeBefore)
                << "a refused start leaves the registry file as it was";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BadInput, ProgramStartTest, ::testing::ValuesIn(BadStarts()),
                         [](const ::testing::TestParamInfo<BadStart>& info) {
                             return info.param.name;
                         });

}  // namespace
}  // namespace ruzd::app
