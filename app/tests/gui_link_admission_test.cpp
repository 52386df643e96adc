// Whom the local GUI link serves, for peers the tests cannot be: a node of an unprivileged user,
// windows of other machines, a socket table that cannot be read. The real peers (the node's own
// user, another user of the machine) are the node and link tests'.

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/gui_link/window_admission.h"
#include "platform/clock.h"

namespace ruzd::app {
namespace {

using platform::TcpEnd;
using platform::TcpPeerOwner;
using platform::TcpPeerPlace;

constexpr uint32_t kOwner = 1000;
constexpr TcpEnd kLink{0x7F000001, 9072};
constexpr TcpEnd kLinkOnTheNetwork{0x0A000001, 9072};

class WindowAdmissionTest : public ::testing::Test {
protected:
    std::unique_ptr<WindowAdmission> Admission(const std::string& centralServers) {
        return std::make_unique<WindowAdmission>(
            kOwner, std::make_shared<foundation::AddressGate>(centralServers),
            [this](const TcpEnd&, const TcpEnd& peer) { return owners_[peer.port]; },
            [this](const std::string& line) { lines_.push_back(line); });
    }

    // The peers' owners by the peer's port.
    std::map<uint16_t, TcpPeerOwner> owners_{
        {1, {TcpPeerPlace::kThisMachine, kOwner}},
        {2, {TcpPeerPlace::kThisMachine, 0}},
        {3, {TcpPeerPlace::kThisMachine, 65534}},
        {4, {TcpPeerPlace::kThisMachine, 65533}},
        {5, {TcpPeerPlace::kThisMachine, std::nullopt}},
        {6, {TcpPeerPlace::kElsewhere, std::nullopt}},
        {7, {TcpPeerPlace::kUnknown, std::nullopt}},
    };
    std::vector<std::string> lines_;
    platform::ManualClock clock_;
    platform::ScopedClockOverride clock_override_{clock_};
};

TEST_F(WindowAdmissionTest, TheOwnerAndRootAreServedOtherUsersAreLoggedOnceAMinuteEach) {
    const auto admission = Admission("");
    EXPECT_TRUE(admission->Admits(kLink, {0x7F000001, 1}));
    EXPECT_TRUE(admission->Admits(kLink, {0x7F000001, 2}));
    EXPECT_TRUE(lines_.empty());

    for (int attempt = 0; attempt < 3; ++attempt) {
        EXPECT_FALSE(admission->Admits(kLink, {0x7F000001, 3}));
        EXPECT_FALSE(admission->Admits(kLink, {0x7F000001, 4}));
    }
    ASSERT_EQ(lines_.size(), 2u);
    EXPECT_EQ(lines_[0].find("GUI link: window of user 65534"), 0u) << lines_[0];
    EXPECT_NE(lines_[0].find("at 127.0.0.1:3 refused: only user 1000"), std::string::npos)
        << lines_[0];
    EXPECT_EQ(lines_[1].find("GUI link: window of user 65533"), 0u) << lines_[1];
    clock_.Advance(std::chrono::seconds(59));
    EXPECT_FALSE(admission->Admits(kLink, {0x7F000001, 3}));
    EXPECT_EQ(lines_.size(), 2u);
    clock_.Advance(std::chrono::seconds(1));
    EXPECT_FALSE(admission->Admits(kLink, {0x7F000001, 3}));
    EXPECT_EQ(lines_.size(), 3u);

    // A peer whose owner cannot be told: closed before it was accepted, or a table that cannot
    // be read.
    EXPECT_FALSE(admission->Admits(kLink, {0x7F000001, 5}));
    EXPECT_FALSE(admission->Admits(kLink, {0x7F000001, 7}));
    ASSERT_EQ(lines_.size(), 4u);
    EXPECT_NE(lines_[3].find("the user it belongs to cannot be told"), std::string::npos);
}

TEST_F(WindowAdmissionTest, AnotherMachinesWindowNeedsItsAddressInTheCentralServerAddresses) {
    // An empty list names no one here.
    auto admission = Admission("");
    EXPECT_FALSE(admission->Admits(kLinkOnTheNetwork, {0x0A000005, 6}));
    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_NE(lines_[0].find("10.0.0.5:6 refused: another machine's window needs its address in "
                             "\"Central Server Addresses\""),
              std::string::npos)
        << lines_[0];

    admission = Admission("10.0.0.0/24");
    EXPECT_TRUE(admission->Admits(kLinkOnTheNetwork, {0x0A000005, 6}));
    EXPECT_FALSE(admission->Admits(kLinkOnTheNetwork, {0x0A000105, 6}));
    // A table that cannot be read leaves the address to decide; a loopback peer, or one on the
    // very address it reached (this machine's, when the central server runs here too), is never
    // another machine's.
    EXPECT_TRUE(admission->Admits(kLinkOnTheNetwork, {0x0A000005, 7}));
    EXPECT_FALSE(admission->Admits(kLink, {0x7F000001, 7}));
    EXPECT_FALSE(admission->Admits(kLinkOnTheNetwork, {0x0A000001, 7}));
    // A peer of this machine is judged by its user, whatever its address.
    EXPECT_FALSE(admission->Admits(kLinkOnTheNetwork, {0x0A000005, 3}));
    EXPECT_TRUE(admission->Admits(kLinkOnTheNetwork, {0x0A000005, 1}));
}

}  // namespace
}  // namespace ruzd::app
