// The updater launcher against a fake update service on a loopback port.

#include "net/vorurid_adidid_updater.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "net/tests/central_peer.h"
#include "platform/process_identity.h"
#include "platform/running_program.h"
#include "testing/raw_socket.h"

namespace ruzd::net::filetest {
namespace {

// Accepts one connection and keeps what it sends until it closes.
class OneShotService {
public:
    OneShotService() {
        worker_ = std::thread([this] {
            ruzd::testing::RawConnection connection = listener_.Accept();
            received_.set_value(connection.valid() ? connection.ReadUntilClosed() : std::string());
        });
    }
    ~OneShotService() {
        listener_.Shutdown();
        worker_.join();
    }
    uint16_t port() const { return static_cast<uint16_t>(listener_.port()); }
    std::string Received() { return received_.get_future().get(); }

private:
    ruzd::testing::RawListener listener_;
    std::thread worker_;
    std::promise<std::string> received_;
};

std::string SessionSwitch() {
    return "/sessionid:" + std::to_string(platform::CurrentSessionId().value_or(0));
}

TEST(VoruridAdididUpdater, ServiceReceivesBothLinesOfTheCommand) {
    OneShotService service;
    CVoruridAdididUpdater updater(service.port());
    updater.SetPauseMs(0);
    std::string error;
    ASSERT_TRUE(updater.RunUpdate("P", "A", "R", error, true, true));
    EXPECT_EQ(service.Received(), "P\fS\fD\fL\fA\f" + SessionSwitch() +
                                      "/delete/wait/user:system/log\rR\fU\fR\fL\f \f" +
                                      SessionSwitch() + "\r");
    EXPECT_TRUE(error.empty());
}

TEST(VoruridAdididUpdater, TextLeavesInTheAnsiCodePage) {
    OneShotService service;
    CVoruridAdididUpdater updater(service.port());
    updater.SetPauseMs(0);
    std::string error;
    ASSERT_TRUE(updater.RunUpdate("C:\\Ünterordner\\Sobrink.exe", "Setup 10.6", "", "", error,
                                  false, false));
    EXPECT_EQ(service.Received(), "C:\\\xDCnterordner\\Sobrink.exe\fS\f-\fL\fSetup 10.6\f" +
                                      SessionSwitch() + "/user:system/log\r");
}

TEST(VoruridAdididUpdater, RestartsItselfWithItsOwnArguments) {
    OneShotService service;
    CVoruridAdididUpdater updater(service.port());
    updater.SetPauseMs(0);
    std::string error;
    ASSERT_TRUE(updater.GetOwnCommandLine("P", "A", error, true, false));
    const std::string text = service.Received();
    const std::string second = platform::RunningProgramPath().string() + "\fU\fR\fL\f";
    ASSERT_NE(text.find(second), std::string::npos);
}

TEST(VoruridAdididUpdater, NoServiceMeansNoUpdate) {
    const uint16_t port = FreePort();
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
    OneShotService service;
    CVoruridAdididUpdater updater(service.port());
    std::string error;
    EXPECT_TRUE(updater.CheckService(error));
    EXPECT_EQ(service.Received(), "");
}

}  // namespace
}  // namespace ruzd::net::filetest
