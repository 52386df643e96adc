// The stand-ins run through the program runner as the Windows programs they replace: the
// command line names "net.exe" and our program answers.

#include "foundation/stand_in_programs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "foundation/utilities.h"
#include "platform/sntp_client.h"
#include "testing/sntp_test_server.h"

namespace ruzd::foundation {
namespace {

using ruzd::testing::SntpTestServer;
using ::testing::HasSubstr;

constexpr uint32_t kPatienceMs = 60000;

class StandInProgramsTest : public ::testing::Test {
protected:
    void TearDown() override {
        unsetenv(platform::kSntpPortVariable);
        unsetenv(kToolsDirVariable);
        unsetenv("RUZD_SET_CLOCK");
    }
    int Run(const std::string& commandLine) {
        return CUtilities::RunProgramAndCaptureOutput(commandLine, {}, output_, kPatienceMs);
    }
    std::string output_;
};

TEST_F(StandInProgramsTest, NetExeIsOursFromBesideTheRunningProgramInAnyCaseAndPath) {
    const std::string ours = std::string(RUZD_TEST_BIN_DIR) + "/ruzd-net";
    EXPECT_EQ(StandInProgram("net.exe"), ours);
    EXPECT_EQ(StandInProgram("NET.EXE"), ours);
    EXPECT_EQ(StandInProgram("C:\\Windows\\System32\\Net.exe"), ours);
    EXPECT_EQ(StandInProgram("/usr/bin/net.exe"), ours);
    EXPECT_EQ(StandInProgram("net"), std::nullopt);
    EXPECT_EQ(StandInProgram("net.exe.bak"), std::nullopt);
    EXPECT_EQ(StandInProgram("cmd.exe"), std::nullopt);

    setenv(kToolsDirVariable, "/opt/tools", 1);
    EXPECT_EQ(StandInProgram("net.exe"), "/opt/tools/ruzd-net");
}

TEST_F(StandInProgramsTest, NetTimeAsksTheHostAndOnlyTellsWhatItWouldSet) {
    SntpTestServer server;
    setenv(platform::kSntpPortVariable, std::to_string(server.port()).c_str(), 1);
    // Even a test run as root leaves the machine's clock alone: the variable is not 1.
    setenv("RUZD_SET_CLOCK", "0", 1);
    EXPECT_EQ(Run("net.exe time \\\\127.0.0.1 /set /y"), 0) << output_;
    EXPECT_THAT(output_, HasSubstr("Current time at \\\\127.0.0.1 is 2030-01-01 00:00:00 UTC"));
    EXPECT_THAT(output_, HasSubstr("The clock was not set"));
    EXPECT_THAT(output_, HasSubstr("The command completed successfully."));
    EXPECT_GE(server.requests(), 1);
}

TEST_F(StandInProgramsTest, NetTimeFailsWithAMessageWhenTheHostIsSilent) {
    SntpTestServer server(SntpTestServer::Behaviour::kSilent);
    setenv(platform::kSntpPortVariable, std::to_string(server.port()).c_str(), 1);
    EXPECT_EQ(Run("NET.EXE time \\\\127.0.0.1 /set /y"), 3);
    EXPECT_THAT(output_, HasSubstr("could not get the time of \\\\127.0.0.1: no answer"));
}

TEST_F(StandInProgramsTest, NetTimeRefusesAHostThatIsNoHost) {
    EXPECT_EQ(Run("net.exe time \\\\-x /set /y"), 2);
    EXPECT_THAT(output_, HasSubstr("\"-x\" is neither a host name nor an IP address"));
}

TEST_F(StandInProgramsTest, AMissingStandInFailsToStart) {
    setenv(kToolsDirVariable, "/nonexistent-tools", 1);
    EXPECT_EQ(Run("net.exe time \\\\127.0.0.1"), kRunStartFailed);
}

}  // namespace
}  // namespace ruzd::foundation
