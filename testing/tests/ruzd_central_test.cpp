// ruzd-central run as a real process: what it says of its options, of a node that is not there,
// of a control socket that is not there, and of a step that gets nothing.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "platform/stop_signals.h"
#include "testing/child_program.h"
#include "testing/loopback_socket.h"
#include "testing/node_ports.h"
#include "testing/node_program.h"
#include "testing/temp_root.h"
#include "testing/unix_sockets.h"

namespace ruzd::testing {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

ToolRun RunCentral(const std::vector<std::string>& arguments) {
    TempDir folder;
    ToolRun run;
    run.exitCode = RunProgram({.program = ProgramFolder() / "ruzd-central",
                               .arguments = arguments,
                               .stdout_file = folder.path() / "out",
                               .stderr_file = folder.path() / "err"});
    run.out = ReadWholeFile(folder.path() / "out");
    run.err = ReadWholeFile(folder.path() / "err");
    return run;
}

TEST(RuzdCentralTest, NoNodeOnThePortIsToldAtOnceByHostPortAndReason) {
    const std::string port = std::to_string(FreePort());
    const ToolRun run = RunCentral({"--port", port, "--file-port", std::to_string(FreePort())});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "ruzd-central: no node at 127.0.0.1:" + port + " (Connection refused)\n");
    EXPECT_THAT(run.out, IsEmpty());
}

TEST(RuzdCentralTest, HelpListsEveryOption) {
    const ToolRun help = RunCentral({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_THAT(help.out, AllOf(StartsWith("usage: ruzd-central"), HasSubstr("--port N"),
                                HasSubstr("--file-port N"), HasSubstr("--control PATH"),
                                HasSubstr("--timeout S"), HasSubstr("-h, --help")));
    EXPECT_THAT(help.err, IsEmpty());
    EXPECT_EQ(RunCentral({"-h"}).out, help.out);

    // A wrong option is named, and the same list follows on the error output.
    for (const std::vector<std::string>& wrong :
         std::vector<std::vector<std::string>>{{"--colour"},
                                               {"--port"},
                                               {"--port", "ninety"},
                                               {"--file-port", "70000"},
                                               {"--timeout", "0"},
                                               {"--timeout", "-5"}}) {
        const ToolRun run = RunCentral(wrong);
        EXPECT_EQ(run.exitCode, 2) << wrong.front();
        EXPECT_THAT(run.err, AllOf(StartsWith("ruzd-central: "), HasSubstr(wrong.back()),
                                   HasSubstr(help.out)))
            << wrong.front();
        EXPECT_THAT(run.out, IsEmpty());
    }
}

TEST(RuzdCentralTest, AControlSocketThatIsNotThereIsToldAtOnceByItsPath) {
    TempDir folder;
    const std::string missing = (folder.path() / "boards.control").string();
    const std::string plainFile = (folder.path() / "plain").string();
    std::ofstream(plainFile) << "not a socket";
    // A socket, but no stream socket that takes connections (as one left by a machine gone).
    DatagramSink datagrams(folder.path() / "datagrams");
    ASSERT_TRUE(datagrams.bound());
    const std::string port = std::to_string(FreePort());
    for (const auto& [path, why] : std::vector<std::pair<std::string, std::string>>{
             {missing, "is not there (No such file or directory)"},
             {plainFile, "is not a socket"},
             {datagrams.path().string(), "takes no connection ("}}) {
        const auto started = std::chrono::steady_clock::now();
        const ToolRun run = RunCentral({"--port", port, "--control", path});
        EXPECT_EQ(run.exitCode, 1) << path;
        EXPECT_THAT(run.err,
                    StartsWith("ruzd-central: the boards' control socket " + path + " " + why));
        EXPECT_THAT(run.out, IsEmpty());
        // Told before any node is asked: a wait for the node would take its whole time-out.
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    }
}

// The node program on the simulated boards without their control socket, as the service runs.
class RuzdCentralNodeTest : public NodeProgramTest {
protected:
    ToolRun Session(const std::vector<std::string>& more) {
        std::vector<std::string> arguments = {"--port", std::to_string(command_port_),
                                              "--file-port", std::to_string(file_port_)};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return RunCentral(arguments);
    }

    const uint32_t file_port_ = WriteFilePort();
};

TEST_F(RuzdCentralNodeTest, AStepThatGetsNothingIsNamedAndFailsTheSession) {
    auto node = StartNode({"-debug", "-w1"});
    ASSERT_TRUE(RawConnection::ConnectWhenListening(command_port_, kPatience,
                                                    [&] { return node->HasEnded(); })
                    .valid())
        << node->Stderr();

    // The node's boards have no control socket: the one named is not there, which is told at
    // once.
    const std::string control = (root_.path() / "boards.control").string();
    const ToolRun missing = Session({"--control", control});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "ruzd-central: the boards' control socket " + control +
                               " is not there (No such file or directory)\n");

    // Boards that answer but raise no call: the session stops at the call's first event, and
    // says which step it waited in.
    TempDir folder;
    LineAnswerer boards(folder.path() / "boards.control", "OK");
    ASSERT_TRUE(boards.listening());
    const ToolRun silent =
        Session({"--control", (folder.path() / "boards.control").string(), "--timeout", "10"});
    EXPECT_EQ(silent.exitCode, 1) << silent.out;
    EXPECT_EQ(silent.err,
              "ruzd-central: the call raised on dtiB1T1 (OFFERED): no message 12 with event "
              "0x824 came within 10 s\n")
        << silent.out;
    EXPECT_THAT(silent.out, AllOf(HasSubstr("<- message 31"),
                                  HasSubstr("boards: call dtiB1T1 5551000 5552000 -> OK\n"),
                                  EndsWith("<- nothing came\n")));
    EXPECT_THAT(silent.out, Not(HasSubstr("call done")));
    EXPECT_THAT(boards.Lines(), ElementsAre("call dtiB1T1 5551000 5552000"));

    node->Signal(platform::SignalNumber(platform::StopSignal::kTerminate));
    EXPECT_TRUE(node->WaitForExit().has_value());
}

}  // namespace
}  // namespace ruzd::testing
