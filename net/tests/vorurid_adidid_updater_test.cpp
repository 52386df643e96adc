// The updater launcher against a fake update service on a loopback port.

#include "net/vorurid_adidid_updater.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <future>
#include <thread>

#include "foundation/running_program.h"
#include "net/tests/central_peer.h"

namespace ruzd::net::filetest {
namespace {

// Accepts one connection and keeps what it sends until it closes.
class OneShotService {
public:
    OneShotService() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        ::listen(fd_, 1);
        socklen_t size = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        worker_ = std::thread([this] {
            const int connection = ::accept(fd_, nullptr, nullptr);
            std::string text;
            char chunk[1024];
            ssize_t got = 0;
            while (connection >= 0 && (got = ::recv(connection, chunk, sizeof chunk, 0)) > 0) {
                text.append(chunk, static_cast<size_t>(got));
            }
            if (connection >= 0) {
                ::close(connection);
            }
            received_.set_value(text);
        });
    }
    ~OneShotService() {
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
        worker_.join();
    }
    uint16_t port() const { return port_; }
    std::string Received() { return received_.get_future().get(); }

private:
    int fd_ = -1;
    uint16_t port_ = 0;
    std::thread worker_;
    std::promise<std::string> received_;
};

std::string SessionSwitch() {
    return "/sessionid:" + std::to_string(::getsid(0));
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
    const std::string second = foundation::RunningProgramPath().string() + "\fU\fR\fL\f";
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
