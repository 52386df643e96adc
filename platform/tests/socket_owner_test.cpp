#include "platform/socket_owner.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/process_identity.h"
#include "testing/child_program.h"
#include "testing/loopback_socket.h"
#include "testing/os_for_tests.h"
#include "testing/temp_root.h"

namespace ruzd::platform {
namespace {

constexpr uint32_t kLoopback = 0x7F000001;
constexpr uint32_t kNobody = 65534;

class SocketOwnerTest : public ::testing::Test {
protected:
    // The listener's end of the connection accepted last, and its peer's.
    TcpEnd Here() const { return {kLoopback, static_cast<uint16_t>(listener_.port())}; }
    static TcpEnd PeerAt(unsigned port) { return {kLoopback, static_cast<uint16_t>(port)}; }

    // A peer in a process of its own, as the user "nobody" when asked; its port, or 0.
    unsigned StartPeer(bool as_nobody, bool mapped = false) {
        std::vector<std::string> arguments{std::to_string(listener_.port())};
        if (mapped) {
            arguments.emplace_back("mapped");
        }
        child_ =
            as_nobody
                ? testing::StartAsNobody("platform_tcp_peer_child", arguments, programs_.path())
                : std::make_unique<testing::ChildProgram>(
                      (testing::ProgramFolder() / "platform_tcp_peer_child").string(), arguments);
        const std::optional<std::string> line = child_->ReadLine();
        if (!line || line->rfind("connected ", 0) != 0) {
            ADD_FAILURE() << "the peer did not connect: " << line.value_or("(nothing)");
            return 0;
        }
        return static_cast<unsigned>(std::stoul(line->substr(10)));
    }

    testing::RawListener listener_;
    testing::TempDir programs_;
    std::unique_ptr<testing::ChildProgram> child_;
};

TEST_F(SocketOwnerTest, APeerOfThisMachineIsItsOwnersWhicheverSocketItUses) {
    ASSERT_TRUE(listener_.valid());
    const uint32_t self = EffectiveUserId();

    testing::RawConnection plain = testing::RawConnection::Connect(listener_.port());
    testing::RawConnection accepted = listener_.Accept();
    ASSERT_TRUE(accepted.valid());
    TcpPeerOwner owner = LookUpTcpPeerOwner(Here(), PeerAt(plain.LocalPort()));
    EXPECT_EQ(owner.place, TcpPeerPlace::kThisMachine);
    EXPECT_EQ(owner.uid, self);

    // An IPv6 socket reaching the IPv4 listener through the mapped address is found as well.
    testing::RawConnection mapped = testing::RawConnection::ConnectMapped(listener_.port());
    ASSERT_TRUE(mapped.valid());
    testing::RawConnection accepted_mapped = listener_.Accept();
    owner = LookUpTcpPeerOwner(Here(), PeerAt(mapped.LocalPort()));
    EXPECT_EQ(owner.place, TcpPeerPlace::kThisMachine);
    EXPECT_EQ(owner.uid, self);

    // The kernel's own tables, which the lookup reads where it cannot ask, tell the same.
    std::optional<TcpTableEntry> entry = FindTcpTableEntry(testing::ReadWholeFile("/proc/net/tcp"),
                                                           PeerAt(plain.LocalPort()), Here());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->uid, self);
    EXPECT_NE(entry->inode, 0u);
    entry = FindTcpTableEntry(testing::ReadWholeFile("/proc/net/tcp6"), PeerAt(mapped.LocalPort()),
                              Here());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->uid, self);

    // Another process of the same user.
    const unsigned port = StartPeer(false);
    testing::RawConnection accepted_child = listener_.Accept();
    owner = LookUpTcpPeerOwner(Here(), PeerAt(port));
    EXPECT_EQ(owner.place, TcpPeerPlace::kThisMachine);
    EXPECT_EQ(owner.uid, self);

    // A peer that closed before it was accepted no longer tells whose it was.
    testing::RawConnection gone = testing::RawConnection::Connect(listener_.port());
    const unsigned gone_port = gone.LocalPort();
    gone.Close();
    testing::RawConnection accepted_gone = listener_.Accept();
    owner = LookUpTcpPeerOwner(Here(), PeerAt(gone_port));
    EXPECT_EQ(owner.place, TcpPeerPlace::kThisMachine);
    EXPECT_EQ(owner.uid, std::nullopt);

    // Ends that no connection has are no peer of this machine's.
    owner = LookUpTcpPeerOwner({kLoopback, 1}, {kLoopback, 2});
    EXPECT_NE(owner.place, TcpPeerPlace::kThisMachine);
}

// Only root can run a peer as another user; anyone else checks a peer of their own in its
// stead.
TEST_F(SocketOwnerTest, APeerOfAnotherUserIsThatUsers) {
    ASSERT_TRUE(listener_.valid());
    const bool as_nobody = testing::RunningAsRoot();
    const uint32_t expected = as_nobody ? kNobody : EffectiveUserId();
    for (const bool mapped : {false, true}) {
        const unsigned port = StartPeer(as_nobody, mapped);
        ASSERT_NE(port, 0u);
        testing::RawConnection accepted = listener_.Accept();
        ASSERT_TRUE(accepted.valid());
        const TcpPeerOwner owner = LookUpTcpPeerOwner(Here(), PeerAt(port));
        EXPECT_EQ(owner.place, TcpPeerPlace::kThisMachine) << (mapped ? "mapped" : "plain");
        EXPECT_EQ(owner.uid, expected) << (mapped ? "mapped" : "plain");
        child_.reset();
    }
}

TEST(SocketTableTest, TheLineOfExactlyTheseEndsGivesTheOwner) {
    // /proc/net/tcp: a listener on 9072, the window's connection (uid 65534) and the node's end
    // of it (uid 0), a connection that lingers in TIME-WAIT.
    const std::string tcp =
        "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  "
        "timeout inode\n"
        "   0: 0100007F:2370 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0     "
        "   0 1001 1 0000000000000000 100 0 0 10 0\n"
        "   1: 0100007F:D431 0100007F:2370 01 00000000:00000000 00:00000000 00000000 65534     "
        "   0 1002 1 0000000000000000 20 4 30 10 -1\n"
        "   2: 0100007F:2370 0100007F:D431 01 00000000:00000000 00:00000000 00000000     0     "
        "   0 1003 1 0000000000000000 20 4 30 10 -1\n"
        "   3: 0100007F:D432 0100007F:2370 06 00000000:00000000 03:00001770 00000000     0     "
        "   0 0 3 0000000000000000\n";
    const TcpEnd node{kLoopback, 0x2370};
    const TcpEnd window{kLoopback, 0xD431};
    std::optional<TcpTableEntry> entry = FindTcpTableEntry(tcp, window, node);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->uid, kNobody);
    EXPECT_EQ(entry->inode, 1002u);
    entry = FindTcpTableEntry(tcp, node, window);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->uid, 0u);
    // The listener is no end of a connection; the lingering one belongs to no process.
    EXPECT_FALSE(FindTcpTableEntry(tcp, node, {0, 0}));
    entry = FindTcpTableEntry(tcp, {kLoopback, 0xD432}, node);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->inode, 0u);
    EXPECT_FALSE(FindTcpTableEntry(tcp, {kLoopback, 0xD433}, node));

    // /proc/net/tcp6: an IPv4-mapped end counts as IPv4; a real IPv6 one does not.
    const std::string tcp6 =
        "  sl  local_address                         remote_address                        st "
        "tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n"
        "   0: 0000000000000000FFFF00000100007F:D440 0000000000000000FFFF00000100007F:2370 01 "
        "00000000:00000000 00:00000000 00000000  1000        0 2001 1 0000000000000000 20 4 0 "
        "10 -1\n"
        "   1: 00000000000000000000000001000000:D441 00000000000000000000000001000000:2370 01 "
        "00000000:00000000 00:00000000 00000000  1001        0 2002 1 0000000000000000 20 4 0 "
        "10 -1\n";
    entry = FindTcpTableEntry(tcp6, {kLoopback, 0xD440}, node);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->uid, 1000u);
    EXPECT_FALSE(FindTcpTableEntry(tcp6, {kLoopback, 0xD441}, node));
    EXPECT_FALSE(FindTcpTableEntry(tcp6, {1, 0xD441}, {1, 0x2370}));

    // Lines that do not read are passed over.
    EXPECT_FALSE(FindTcpTableEntry("   1: 0100007F:D431 0100007F:2370 01 x x x x\n", window, node));
    EXPECT_FALSE(FindTcpTableEntry("", window, node));
}

}  // namespace
}  // namespace ruzd::platform
