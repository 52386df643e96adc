// The clock step of the initialisation: the central host's name checked, then "net.exe time"
// run through the program runner, which starts our stand-in from the bin folder.

#include "node/central_clock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "foundation/debug_log.h"
#include "foundation/stand_in_programs.h"
#include "platform/sntp_client.h"
#include "testing/debug_files.h"
#include "testing/sntp_test_server.h"
#include "testing/temp_root.h"

namespace ruzd::node {
namespace {

namespace fs = std::filesystem;
using ruzd::testing::SntpTestServer;
using ::testing::AllOf;
using ::testing::Contains;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

TEST(CentralClockCommandLine, OnlyForAHostNameOrAddressThatFits) {
    EXPECT_EQ(CentralClock::CommandLine("central"), "net.exe time \\\\central /set /y");
    EXPECT_EQ(CentralClock::CommandLine("10.0.0.7"), "net.exe time \\\\10.0.0.7 /set /y");
    EXPECT_EQ(CentralClock::CommandLine("fe80::1"), "net.exe time \\\\fe80::1 /set /y");
    for (const char* host : {"a;b", "-x", "", "a b", "x\" /evil", "a\r\nb", "c:\\x"}) {
        EXPECT_EQ(CentralClock::CommandLine(host), std::nullopt) << host;
    }
    // The longest host name that fits; "net.exe time \\" and " /set /y" take 23 characters.
    const std::string label(63, 'h');
    const std::string fits = label + "." + label + "." + label + "." + std::string(44, 'h');
    ASSERT_EQ(fits.size(), 236u);
    EXPECT_TRUE(CentralClock::CommandLine(fits).has_value());
    EXPECT_EQ(CentralClock::CommandLine(fits + "h"), std::nullopt);
}

class CentralClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(folder_);
        foundation::StartDebugLog("C:\\Ruzd\\Debug\\Tav", 5, true, 0);
        setenv("RUZD_SET_CLOCK", "0", 1);
    }
    void TearDown() override {
        foundation::StopDebugLog();
        unsetenv(platform::kSntpPortVariable);
        unsetenv(foundation::kToolsDirVariable);
        unsetenv("RUZD_SET_CLOCK");
    }
    std::vector<std::string> Lines() {
        foundation::StopDebugLog();
        return ruzd::testing::DebugLines(folder_);
    }

    ruzd::testing::TempRoot root_;
    fs::path folder_ = root_.path() / "drives" / "c" / "Ruzd" / "Debug";
};

TEST_F(CentralClockTest, RunsTheClockProgramAgainstTheHost) {
    SntpTestServer server;
    setenv(platform::kSntpPortVariable, std::to_string(server.port()).c_str(), 1);
    CentralClock::SetFrom("127.0.0.1", 77);
    const auto lines = Lines();
    EXPECT_THAT(lines, Contains(EndsWith("Executing: net.exe time \\\\127.0.0.1 /set /y")));
    EXPECT_THAT(lines, Contains(AllOf(HasSubstr(":000000077:"),
                                      HasSubstr("Clock command ended with 0: Current time at "
                                                "\\\\127.0.0.1 is 2030-01-01 00:00:00 UTC"))));
    EXPECT_GE(server.requests(), 1);
}

TEST_F(CentralClockTest, ASilentHostIsLoggedAndTheStepEnds) {
    SntpTestServer server(SntpTestServer::Behaviour::kSilent);
    setenv(platform::kSntpPortVariable, std::to_string(server.port()).c_str(), 1);
    CentralClock::SetFrom("127.0.0.1", 1);
    EXPECT_THAT(Lines(), Contains(HasSubstr("Clock command ended with 3: net: could not get the "
                                            "time of \\\\127.0.0.1")));
}

TEST_F(CentralClockTest, AProgramThatDoesNotEndInTimeIsStopped) {
    SntpTestServer server(SntpTestServer::Behaviour::kSilent);
    setenv(platform::kSntpPortVariable, std::to_string(server.port()).c_str(), 1);
    // The program waits three seconds for its silent host; the step gives it less.
    CentralClock::SetFrom("127.0.0.1", 1, 200);
    EXPECT_THAT(Lines(), Contains(EndsWith("Clock command did not end within 200 ms and was "
                                           "stopped")));
}

TEST_F(CentralClockTest, AHostThatIsNoHostRunsNothing) {
    SntpTestServer server;
    setenv(platform::kSntpPortVariable, std::to_string(server.port()).c_str(), 1);
    CentralClock::SetFrom("a;b\nforged line", 1);
    CentralClock::SetFrom("-x", 1);
    CentralClock::SetFrom("", 1);
    const auto lines = Lines();
    EXPECT_THAT(lines, Contains(EndsWith("Clock not set: central host 'a;b?forged line' is "
                                         "neither a host name nor an IP address")));
    EXPECT_THAT(lines, Contains(EndsWith("Clock not set: central host '-x' is neither a host "
                                         "name nor an IP address")));
    EXPECT_THAT(lines, Contains(EndsWith("Clock not set: central host '' is neither a host name "
                                         "nor an IP address")));
    EXPECT_THAT(lines, Not(Contains(HasSubstr("Executing"))));
    EXPECT_EQ(server.requests(), 0);
}

TEST_F(CentralClockTest, AMissingProgramIsAnErrorLine) {
    setenv(foundation::kToolsDirVariable, "/nonexistent-tools", 1);
    CentralClock::SetFrom("127.0.0.1", 1);
    EXPECT_THAT(Lines(), Contains(EndsWith("ERROR Executing: net.exe time \\\\127.0.0.1 /set /y")));
}

}  // namespace
}  // namespace ruzd::node
