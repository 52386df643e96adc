// ruzd-central run as a real process: what it says of its options, and of a node that is not
// there.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/child_program.h"
#include "testing/loopback_socket.h"
#include "testing/temp_root.h"

namespace ruzd::testing {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
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
                                HasSubstr("--help")));
    EXPECT_THAT(help.err, IsEmpty());

    // A wrong option is named, and the same list follows on the error output.
    for (const std::vector<std::string>& wrong : std::vector<std::vector<std::string>>{
             {"--colour"}, {"--port"}, {"--port", "ninety"}, {"--file-port", "70000"}}) {
        const ToolRun run = RunCentral(wrong);
        EXPECT_EQ(run.exitCode, 2) << wrong.front();
        EXPECT_THAT(run.err, AllOf(StartsWith("ruzd-central: "), HasSubstr(wrong.back()),
                                   HasSubstr(help.out)))
            << wrong.front();
        EXPECT_THAT(run.out, IsEmpty());
    }
}

}  // namespace
}  // namespace ruzd::testing
