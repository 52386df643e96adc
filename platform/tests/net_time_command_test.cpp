#include "platform/net_time_command.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <sstream>

#include "platform/sntp_client.h"
#include "testing/sntp_test_server.h"

namespace ruzd::platform {
namespace {

using namespace std::chrono_literals;
using ruzd::testing::SntpTestServer;
using ::testing::HasSubstr;

class NetTimeCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        environment_.clock = &clock_;
        environment_.patience = 2s;
        environment_.resendInterval = 500ms;
        environment_.shiftClock = [this](WallTime time, std::string& error) {
            shifts_.push_back(time);
            error = "refused by the test";
            return shift_succeeds_;
        };
    }
    void TearDown() override { unsetenv(kSntpPortVariable); }

    int Run(const std::vector<std::string>& arguments) {
        out_.str("");
        err_.str("");
        return RunNetCommand(arguments, environment_, out_, err_);
    }
    void UseServer(const SntpTestServer& server) {
        setenv(kSntpPortVariable, std::to_string(server.port()).c_str(), 1);
    }

    ManualClock clock_{WallTime(std::chrono::seconds(1704067200))};
    NetTimeEnvironment environment_;
    std::vector<WallTime> shifts_;
    bool shift_succeeds_ = true;
    std::ostringstream out_;
    std::ostringstream err_;
};

TEST_F(NetTimeCommandTest, ShowsTheHostsTimeWithoutSet) {
    SntpTestServer server;
    UseServer(server);
    EXPECT_EQ(Run({"TIME", "\\\\127.0.0.1"}), kNetSucceeded) << err_.str();
    EXPECT_EQ(out_.str(),
              "Current time at \\\\127.0.0.1 is 2030-01-01 00:00:00 UTC\n\n"
              "The command completed successfully.\n");
    EXPECT_TRUE(shifts_.empty());
}

TEST_F(NetTimeCommandTest, WithoutTheRightItTellsWhatItWouldHaveDoneAndSucceeds) {
    SntpTestServer server;
    UseServer(server);
    environment_.mayShiftClock = false;
    EXPECT_EQ(Run({"time", "\\\\127.0.0.1", "/set", "/y"}), kNetSucceeded) << err_.str();
    EXPECT_THAT(out_.str(), HasSubstr("The clock was not set (that needs root and "
                                      "RUZD_SET_CLOCK=1); it would have been set to "
                                      "2030-01-01 00:00:00 UTC"));
    EXPECT_TRUE(shifts_.empty());
}

TEST_F(NetTimeCommandTest, WithTheRightItSetsTheClockToTheServersTime) {
    SntpTestServer server;
    UseServer(server);
    environment_.mayShiftClock = true;
    EXPECT_EQ(Run({"time", "\\\\127.0.0.1", "/SET", "/Y"}), kNetSucceeded) << err_.str();
    ASSERT_EQ(shifts_.size(), 1u);
    // The local clock stood still, so the corrected time is exactly the server's.
    EXPECT_EQ(shifts_[0], SntpTestServer::DefaultTime());
    EXPECT_THAT(out_.str(), HasSubstr("The clock was set to 2030-01-01 00:00:00 UTC"));

    shift_succeeds_ = false;
    EXPECT_EQ(Run({"time", "\\\\127.0.0.1", "/set"}), kNetClockNotSet);
    EXPECT_THAT(err_.str(), HasSubstr("the clock could not be set: refused by the test"));
}

TEST_F(NetTimeCommandTest, FailsWhenTheHostDoesNotAnswer) {
    SntpTestServer server(SntpTestServer::Behaviour::kSilent);
    UseServer(server);
    environment_.patience = 300ms;
    environment_.resendInterval = 100ms;
    environment_.mayShiftClock = true;
    EXPECT_EQ(Run({"time", "\\\\127.0.0.1", "/set", "/y"}), kNetNoTime);
    EXPECT_THAT(err_.str(), HasSubstr("could not get the time of \\\\127.0.0.1: no answer from "
                                      "127.0.0.1 within 300 ms"));
    EXPECT_TRUE(shifts_.empty());
    EXPECT_EQ(out_.str(), "");
}

TEST_F(NetTimeCommandTest, RefusesBadHostsBeforeAskingAnyone) {
    SntpTestServer server;
    UseServer(server);
    for (const char* host : {"a;b", "-x", "", "a b", "$(id)", "1.2.3"}) {
        EXPECT_EQ(Run({"time", std::string("\\\\") + host, "/set", "/y"}), kNetBadHost) << host;
        EXPECT_THAT(err_.str(), HasSubstr("is neither a host name nor an IP address"));
    }
    EXPECT_EQ(server.requests(), 0);
}

TEST_F(NetTimeCommandTest, RefusesAnythingButTheTimeVerbWithAHost) {
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{},
                                               {"use", "\\\\host"},
                                               {"time"},
                                               {"time", "/set"},
                                               {"time", "host"},
                                               {"time", "\\\\a", "\\\\b"},
                                               {"time", "\\\\a", "/domain"}}) {
        EXPECT_EQ(Run(arguments), kNetUsage);
        EXPECT_THAT(err_.str(), HasSubstr("NET TIME \\\\host [/SET] [/Y]"));
    }
}

TEST_F(NetTimeCommandTest, ABadPortVariableIsAUsageError) {
    setenv(kSntpPortVariable, "port", 1);
    EXPECT_EQ(Run({"time", "\\\\127.0.0.1"}), kNetUsage);
    EXPECT_THAT(err_.str(), HasSubstr("RUZD_SNTP_PORT is not a port number"));
}

}  // namespace
}  // namespace ruzd::platform
