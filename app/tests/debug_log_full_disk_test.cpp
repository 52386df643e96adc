// The node's debug log on a full disk, for real: the working folder lies on a small tmpfs that
// the test fills up. The node goes on answering, says once where an operator looks that its
// debug lines cannot be written, and once there is room again its log says how many were lost.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/operator_alert.h"
#include "testing/command_peer.h"
#include "testing/event_store.h"
#include "testing/eventually.h"
#include "testing/initialised_node.h"
#include "testing/node_program.h"
#include "testing/os_for_tests.h"
#include "testing/small_tmpfs.h"

namespace ruzd::app {
namespace {

using ::testing::HasSubstr;

constexpr int32_t kCNPING = 12;
constexpr size_t kDiskBytes = 2 * 1024 * 1024;
constexpr const char* kAlert = "Debug lines cannot be written to ";

// Whether `part` stands in `text` once and only once.
bool OnceIn(const std::string& text, const std::string& part) {
    const size_t first = text.find(part);
    return first != std::string::npos && first == text.rfind(part);
}

class DebugLogFullDiskTest : public testing::InitialisedNodeTest {
protected:
    void SetUp() override { UseBoards("network 1 30\nip 0 0\n"); }

    // A keep-alive of the central server, and whether the node answered it.
    bool Ping() {
        ++id_;
        peer_->SendInts(kCNPING, id_, {id_});
        const std::optional<testing::Payload> answer = peer_->ReceiveCode(1);
        return answer && testing::LeadingInts(*answer) == std::vector<int32_t>{1, id_};
    }

    // The debug line of the last keep-alive.
    std::string PingLine() const { return "CNPING value=" + std::to_string(id_) + "\r\n"; }

    static constexpr int32_t kFirstPing = 100;
    int32_t id_ = kFirstPing;
};

TEST_F(DebugLogFullDiskTest, LinesThatFindNoRoomAreToldOnceAndCountedOnceThereIsRoom) {
    ASSERT_TRUE(testing::RunningAsRoot()) << "only root may mount a tmpfs";
    const std::filesystem::path folder = work_.path() / "node";
    testing::SmallTmpfs disk(folder, kDiskBytes);
    ASSERT_TRUE(disk.mounted());
    // The outputs lie beside the full disk, where the test can read what the node says.
    testing::TempDir outputs;
    node_ = std::make_unique<testing::NodeProcess>(
        root_.path(), folder, std::vector<std::string>{"-debug", "-d", "-w1"},
        std::vector<std::string>{}, std::filesystem::path(), 0, outputs.path());
    Initialise(1);
    testing::NodeProcess& node = *node_;
    ASSERT_TRUE(Ping()) << node.Stderr();
    ASSERT_TRUE(node.WaitForLog(PingLine())) << node.Stderr();

    disk.FillUp();
    // The debug file's last page may still take a few lines; then they find no room.
    bool answered = true;
    ASSERT_TRUE(testing::Eventually([&] {
        answered = answered && Ping();
        return !answered || node.Stderr().find(kAlert) != std::string::npos;
    })) << node.Stderr();
    ASSERT_TRUE(answered) << node.Stderr();
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(Ping()) << node.Stderr();
    }
    const int32_t last_full_disk_ping = id_;
    const std::string before_room = node.DebugLog();
    EXPECT_EQ(before_room.find(PingLine()), std::string::npos)
        << "the last keep-alive's line found room on a full disk";

    // Said once, with the reason and the file, on the error output and in the event log.
    const std::string said = node.Stderr();
    EXPECT_TRUE(OnceIn(said, kAlert)) << said;
    EXPECT_THAT(said, HasSubstr((folder / "debug").string()));
    EXPECT_THAT(said, HasSubstr("(No space left on device)"));
    size_t alerts = 0;
    for (const auto& [event_id, text] : testing::StoredEventsOf("Pelwix")) {
        if (text.find(kAlert) != std::string::npos) {
            ++alerts;
            EXPECT_EQ(event_id, foundation::kAlertEventId);
            EXPECT_THAT(text, HasSubstr("(No space left on device)"));
        }
    }
    EXPECT_EQ(alerts, 1u);

    // Room again: the log says how many lines it lost, then goes on with whole lines.
    disk.MakeRoom();
    const std::string note =
        " debug lines could not be written (No space left on device) and are lost\r\n";
    std::string log;
    size_t at = std::string::npos;
    ASSERT_TRUE(testing::Eventually([&] {
        EXPECT_TRUE(Ping());
        log = node.DebugLog();
        at = log.rfind(note);
        return at != std::string::npos && log.find(PingLine(), at) != std::string::npos;
    })) << log.substr(log.size() > 4000 ? log.size() - 4000 : 0);
    // The count ends the note's header, on a line of its own: no part of a lost line was left
    // for it to run on from.
    const size_t line_start = log.rfind("\r\n", at) + 2;
    const size_t count_start = log.find_last_not_of("0123456789", at - 1) + 1;
    const std::string header = log.substr(line_start, count_start - line_start);
    EXPECT_EQ(header.size(), 40u) << header;  // "hh:mm:ss.mmm:ttt:---------:Lo     1 --- "
    EXPECT_EQ(header.find(":---------:Lo     1 --- "), 16u) << header;
    // The writer takes the queued lines in batches, so the last keep-alives' lines may still
    // have been waiting when room came back, and were written then. Every one that is missing
    // must be counted, and the disk was full long enough for some to go.
    const uint64_t lost = std::stoull(log.substr(count_start, at - count_start));
    uint64_t missing = 0;
    for (int32_t id = kFirstPing + 1; id <= last_full_disk_ping; ++id) {
        if (log.find("CNPING value=" + std::to_string(id) + "\r\n") == std::string::npos) {
            ++missing;
        }
    }
    EXPECT_GE(missing, 1u) << "no keep-alive's line was lost on a full disk";
    EXPECT_GE(lost, missing) << log.substr(log.size() > 4000 ? log.size() - 4000 : 0);
    EXPECT_EQ(log.find(std::string(kAlert)), std::string::npos);
    EXPECT_TRUE(OnceIn(node.Stderr(), kAlert)) << node.Stderr();
}

}  // namespace
}  // namespace ruzd::app
