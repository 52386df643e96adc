// A file far larger than the node would want to hold, fetched into the file cache by the node
// program on the simulated boards from a central server of the test's own: its bytes go through
// inflate into the cache as they come, and the node's memory stays small all the while.

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "foundation/registry.h"
#include "testing/initialised_node.h"

namespace ruzd::app {
namespace {

namespace fs = std::filesystem;

constexpr int32_t kDXFOPE = 41;
constexpr int32_t kReadBinary = 0x8000;
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitized = true;
#else
constexpr bool kThreadSanitized = false;
#endif
constexpr size_t kPiece = 1 << 20;
// ThreadSanitizer slows every byte's way through the node many times over: it watches the same
// code on a quarter of a gigabyte, which is still far more than the node would hold.
constexpr uint32_t kPieces = kThreadSanitized ? 256 : 2048;
// Two gigabytes less the one byte that a block's length, a signed 32-bit number, cannot count
// (the same byte less under ThreadSanitizer).
constexpr uint64_t kFileSize = uint64_t{kPieces} * kPiece - 1;
// The most the node may hold while it receives the file, and the most the transfer may add.
constexpr size_t kNodeMemory = 64 << 20;
constexpr size_t kTransferMemory = 16 << 20;
// Within the test's time-out in CTest (app/CMakeLists.txt).
constexpr std::chrono::minutes kTransferPatience{8};

// Piece `index` of the file: a voice-like pattern that deflate shortens a great deal (the test's
// own deflate must keep up), marked with its index so that no two pieces are the same.
std::vector<uint8_t> Piece(uint32_t index) {
    static const std::vector<uint8_t> pattern = [] {
        std::vector<uint8_t> bytes(4096);
        std::mt19937 generator(33);
        for (uint8_t& byte : bytes) {
            byte = static_cast<uint8_t>(0x80 + static_cast<int>(generator() % 16) - 8);
        }
        return bytes;
    }();
    std::vector<uint8_t> piece(kPiece);
    for (size_t at = 0; at < kPiece; at += pattern.size()) {
        std::memcpy(piece.data() + at, pattern.data(), pattern.size());
    }
    std::memcpy(piece.data(), &index, sizeof index);
    piece.resize(std::min<uint64_t>(kPiece, kFileSize - uint64_t{index} * kPiece));
    return piece;
}

// Where the node works: a folder in memory where the machine has one, as two gigabytes on the
// disk of a shared machine may not fit.
fs::path LargeFolderParent() {
    std::error_code error;
    return fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
}

class FileReceiveEndToEndTest : public testing::InitialisedNodeTest {
protected:
    void SetUp() override { UseBoards("network 1 30\nip 0 0\n"); }

    testing::TempDir large_{LargeFolderParent()};
};

TEST_F(FileReceiveEndToEndTest, TwoGigabytesArriveWhileTheNodeHoldsLittleMemory) {
    foundation::CRegistry registry("Pelwix");
    registry.WriteDword("MaximumFileCacheSyncSizeMB", kPieces);
    registry.WriteDword("FileCacheSyncUseCompression", 1);
    node_ = std::make_unique<testing::NodeProcess>(root_.path(), large_.path() / "node",
                                                   std::vector<std::string>{"-debug", "-d"});
    Initialise(1);
    ASSERT_TRUE(files_->Compressing());
    const size_t started = node_->PeakResidentBytes();
    ASSERT_GT(started, 0u);

    uLong crc = crc32_z(0, nullptr, 0);
    for (uint32_t index = 0; index < kPieces; ++index) {
        const std::vector<uint8_t> piece = Piece(index);
        crc = crc32_z(crc, piece.data(), piece.size());
    }
    peer_->Send(kDXFOPE, 50, [&](net::COutputStreamSocket& writer) {
        writer.WriteUInt(1).WriteString("C:\\VOX\\LONG.VOX").WriteInt(kReadBinary).WriteInt(0x180);
        writer.WriteUInt(static_cast<uint32_t>(kFileSize)).WriteUInt(static_cast<uint32_t>(crc));
    });
    const std::optional<std::string> request = files_->ReadLine();
    ASSERT_TRUE(request);
    ASSERT_EQ(request->rfind("REQFIL ", 0), 0u) << *request;
    const std::string id = request->substr(7, request->find(' ', 7) - 7);
    const std::string local = request->substr(request->rfind(' ') + 1);
    files_->SendText("TXFILE " + id + " 1 0 " + local + " " + std::to_string(kFileSize) + "\r");
    for (uint32_t index = 0; index < kPieces; ++index) {
        files_->SendBytes(Piece(index));
    }

    const std::optional<testing::Payload> opened = peer_->ReceiveCode(9, kTransferPatience);
    ASSERT_TRUE(opened) << "no message 9";
    EXPECT_EQ(testing::LeadingInts(*opened, 3),
              (std::vector<int32_t>{9, 1, static_cast<int32_t>(kFileSize)}));
    const fs::path copy = large_.path() / "node" / "FileCache" / "C" / "VOX" / "LONG.VOX";
    std::error_code error;
    EXPECT_EQ(fs::file_size(copy, error), kFileSize);
    const std::string log = node_->DebugLog();
    const size_t failed = log.find("Request File Failed");
    EXPECT_EQ(failed, std::string::npos)
        << log.substr(failed == std::string::npos ? 0 : failed, 300);
    // What the transfer added is small, whatever the file's size; and the whole program stays
    // below its bound, except in a sanitized build, which holds far more for itself (shadow
    // memory, the sanitizer's allocator) than the program that runs.
    const size_t peak = node_->PeakResidentBytes();
    RecordProperty("node_peak_bytes_before", std::to_string(started));
    RecordProperty("node_peak_bytes_after", std::to_string(peak));
    EXPECT_LT(peak, started + kTransferMemory);
    if (!kSanitized) {
        EXPECT_LT(peak, kNodeMemory);
    }
}

}  // namespace
}  // namespace ruzd::app
