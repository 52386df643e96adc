// The record-file engine's statuses on real files under the platform's drive folders.

#include "platform/btrieve_engine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "testing/temp_root.h"

namespace ruzd::platform {
namespace {

namespace fs = std::filesystem;

TEST(RecordFileEngine, StatusesOfABrokenFileAMissingOpenAndAWrongLength) {
    ruzd::testing::TempRoot root;
    fs::create_directories(root.path() / "drives" / "c");
    std::ofstream(root.path() / "drives" / "c" / "bad.btv", std::ios::binary) << "short";
    uint8_t position[kBtrievePositionBlockSize] = {};
    uint8_t data[250] = {};
    uint16_t length = 250;
    char bad[] = "C:\\BAD.BTV";
    EXPECT_EQ(BtrieveCall(kBtrieveOpen, position, data, &length, bad, 0), kBtrieveCorruptFile);
    EXPECT_EQ(BtrieveCall(kBtrieveGetLast, position, data, &length, bad, 0), kBtrieveFileNotOpen);
    std::ofstream(root.path() / "drives" / "c" / "bad.btv", std::ios::binary) << "";
    ASSERT_EQ(BtrieveCall(kBtrieveOpen, position, data, &length, bad, 0), kBtrieveOk);
    length = 100;
    EXPECT_EQ(BtrieveCall(kBtrieveInsert, position, data, &length, bad, 0),
              kBtrieveDataBufferLength);
    length = 250;
    EXPECT_EQ(BtrieveCall(kBtrieveInsert, position, data, &length, bad, 0), kBtrieveOk);
    EXPECT_EQ(BtrieveCall(kBtrieveInsert, position, data, &length, bad, 0), kBtrieveDuplicateKey);
    EXPECT_EQ(BtrieveCall(6, position, data, &length, bad, 0), kBtrieveInvalidOperation);
    EXPECT_EQ(BtrieveCall(kBtrieveClose, position, data, &length, bad, 0), kBtrieveOk);
}

}  // namespace
}  // namespace ruzd::platform
