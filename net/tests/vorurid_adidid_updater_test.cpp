// The updater launcher against a fake update service on a loopback port.

#include "net/vorurid_adidid_updater.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "platform/process_identity.h"
#include "platform/running_program.h"
#include "testing/loopback_socket.h"

namespace ruzd::net::filetest {
namespace {

std::string SessionSwitch() {
    return "/sessionid:" + std::to_string(platform::CurrentSessionId().value_or(0));
}

TEST(VoruridAdididUpdater, ServiceReceivesBothLinesOfTheCommand) {
    ruzd::testing::OneConnectionSink service;
    CVoruridAdididUpdater updater(service.port());
    updater.SetPauseMs(0);
    std::string error;
    ASSERT_TRUE(updater.RunUpdate("P", "A", "R", error, true, true));
    EXPECT_EQ(service.Received().get(), "P\fS\fD\fL\fA\f" + SessionSwitch() +
                                            "/delete/wait/user:system/log\rR\fU\fR\fL\f \f" +
                                            SessionSwitch() + "\r");
    EXPECT_TRUE(error.empty());
}

TEST(VoruridAdididUpdater, TextLeavesInTheAnsiCodePage) {
    ruzd::testing::OneConnectionSink service;
    CVoruridAdididUpdater updater(service.port());
    updater.SetPauseMs(0);
    std::string error;
    ASSERT_TRUE(updater.RunUpdate("C:\\Ünterordner\\Sobrink.exe", "Setup 10.6", "", "", error,
                                  false, false));
    EXPECT_EQ(service.Received().get(), "C:\\\xDCnterordner\\Sobrink.exe\fS\f-\fL\fSetup 10.6\f" +
                                            SessionSwitch() + "/user:system/log\r");
}

TEST(VoruridAdididUpdater, RestartsItselfWithItsOwnArguments) {
    ruzd::testing::OneConnectionSink service;
    CVoruridAdididUpdater updater(service.port());
    updater.SetPauseMs(0);
    std::string error;
    ASSERT_TRUE(updater.GetOwnCommandLine("P", "A", error, true, false));
    const std::string text = service.Received().get();
    const std::string second = platform::RunningProgramPath().string() + "\fU\fR\fL\f";
    ASSERT_NE(text.find(second), std::string::npos);
}

TEST(VoruridAdididUpdater, NoServiceMeansNoUpdate) {
    const uint16_t port = ruzd::testing::FreePort();
    CVoruridAdididUpdater updater(port);
    std::string error;
    EXPECT_FALSE(updater.RunUpdate("P", "A", "R", error, true, true));
    EXPECT_EQ(error,
              "Could not connect to Vorurid Adidid Update Service: connect() error -1.\n"
              "Update aborted.");
    EXPECT_FALSE(updater.CheckService(error));
    EXPECT_EQ(error,
              "Could not connect to Vorurid Adidid Update Service: connect() error -1.\n"
              "Updates will not work!.");
}

TEST(VoruridAdididUpdater, CheckServiceOnlyConnects) {
    ruzd::testing::OneConnectionSink service;
    CVoruridAdididUpdater updater(service.port());
    std::string error;
    EXPECT_TRUE(updater.CheckService(error));
    EXPECT_EQ(service.Received().get(), "");
}

}  // namespace
}  // namespace ruzd::net::filetest
