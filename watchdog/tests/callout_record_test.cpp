// The callout record as it lands in a callout file on disk, through the record-file engine.

#include "watchdog/callout_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "testing/os_for_tests.h"
#include "testing/temp_root.h"
#include "watchdog/tormbel_log.h"

namespace ruzd::watchdog {
namespace {

namespace fs = std::filesystem;

class CalloutRecordTest : public ::testing::Test {
protected:
    CalloutRecordTest() {
        options_.callout_file = "C:\\BTV\\PROJEC16.BTV";
        std::strcpy(options_.phone.data(), "0123456");
        options_.project = 7;
        options_.language = 0x10002;
        options_.state = -3;
        // The platform keeps the file under another spelling.
        fs::create_directories(root_.path() / "drives" / "c" / "Btv");
        file_ = root_.path() / "drives" / "c" / "Btv" / "projec16.btv";
    }

    void WriteFile(const std::string& bytes) { std::ofstream(file_, std::ios::binary) << bytes; }

    std::string Records() const { return testing::ReadWholeFile(file_); }

    static uint32_t U32(const std::string& record, size_t offset) {
        uint32_t value = 0;
        std::memcpy(&value, record.data() + offset, sizeof value);
        return value;
    }

    testing::TempRoot root_;
    testing::TempWorkFolder work_;
    WatchdogOptions options_;
    fs::path file_;
};

TEST_F(CalloutRecordTest, AnEmptyFileGetsIdOneThenTwoWithOnlyTheListedBytesSet) {
    WriteFile("");
    AddCalloutRecord(options_);
    AddCalloutRecord(options_);
    const std::string records = Records();
    ASSERT_EQ(records.size(), 500u);
    const std::string first = records.substr(0, 250);
    EXPECT_EQ(U32(first, 12), 1u);
    EXPECT_EQ(U32(records.substr(250), 12), 2u);
    EXPECT_EQ(std::string(first.data() + 55), "0123456");
    EXPECT_EQ(std::string(first.data() + 72), "No heartbeat");
    EXPECT_EQ(U32(first, 141), 7u);
    EXPECT_EQ(static_cast<uint8_t>(first[145]), 2);
    EXPECT_EQ(static_cast<uint8_t>(first[146]), 0);
    EXPECT_EQ(static_cast<int32_t>(U32(first, 147)), -3);
    EXPECT_EQ(static_cast<uint8_t>(first[153]), 0x7F);
    EXPECT_EQ(static_cast<uint8_t>(first[162]), 0x07);
    EXPECT_EQ(U32(first, 22), 0u);
    EXPECT_EQ(U32(first, 44), ToRecordTime(U32(first, 18)));
    // Everything the record does not list stays zero in a record of an empty file.
    for (size_t i : {0u, 11u, 38u, 43u, 48u, 50u, 131u, 152u, 154u, 161u, 163u, 249u}) {
        EXPECT_EQ(first[i], 0) << i;
    }
}

TEST_F(CalloutRecordTest, TheLastRecordsOtherBytesAreCopiedUnderTheNextId) {
    std::string earlier(250, 'a');
    std::string last(250, '\x5A');
    const uint32_t earlier_id = 40;
    const uint32_t last_id = 41;
    std::memcpy(earlier.data() + 12, &earlier_id, 4);
    std::memcpy(last.data() + 12, &last_id, 4);
    last[162] = static_cast<char>(0xF8);
    WriteFile(last + earlier);
    AddCalloutRecord(options_);
    const std::string added = Records().substr(500);
    ASSERT_EQ(added.size(), 250u);
    EXPECT_EQ(U32(added, 12), 42u);
    EXPECT_EQ(added.substr(0, 12), std::string(12, '\x5A'));
    EXPECT_EQ(added.substr(163), last.substr(163));
    EXPECT_EQ(added.substr(38, 6), last.substr(38, 6));
    EXPECT_EQ(static_cast<uint8_t>(added[153]), 0x7F);
    EXPECT_EQ(static_cast<uint8_t>(added[162]), 0xF7);
    // The text fields are written whole, padded with zeros.
    EXPECT_EQ(added.substr(55, 17), std::string("0123456") + std::string(10, '\0'));
    EXPECT_EQ(added.substr(72, 58), std::string("No heartbeat") + std::string(46, '\0'));
}

TEST_F(CalloutRecordTest, AMissingFileIsLoggedAndNeverCreatedAndNoNumberWritesNothing) {
    AddCalloutRecord(options_);
    EXPECT_FALSE(fs::exists(file_));
    EXPECT_NE(testing::ReadWholeFile(kLogFileName)
                  .find("Error adding callout record (B_OPEN BTrieve error 12)\r\n"),
              std::string::npos);

    WriteFile("");
    options_.phone.fill('\0');
    AddCalloutRecord(options_);
    EXPECT_EQ(Records(), "");
}

TEST_F(CalloutRecordTest, ARecordCutShortByAFullDiskIsTakenBackAndTheNextOneIsAdded) {
    WriteFile("");
    AddCalloutRecord(options_);
    {
        // Room for 100 bytes of the second record: its write is cut short there.
        const testing::FileSizeLimit full_disk(kCalloutRecordSize + 100);
        ASSERT_TRUE(full_disk.valid());
        AddCalloutRecord(options_);
        EXPECT_EQ(Records().size(), kCalloutRecordSize);
    }
    EXPECT_NE(testing::ReadWholeFile(kLogFileName)
                  .find("Error adding callout record (B_INSERT BTrieve error 2)"),
              std::string::npos);
    // Space again: the file is whole, and the next alarm's record follows the first.
    AddCalloutRecord(options_);
    const std::string records = Records();
    ASSERT_EQ(records.size(), 2 * kCalloutRecordSize);
    EXPECT_EQ(U32(records, 12), 1u);
    EXPECT_EQ(U32(records.substr(kCalloutRecordSize), 12), 2u);
}

TEST(RecordTime, SmallTimesMoveAndTheLargestBecomesZero) {
    EXPECT_EQ(ToRecordTime(1700000000), 1700000000u);
    EXPECT_EQ(ToRecordTime(5), 5u + 0x83AC4E90u);
    EXPECT_EQ(ToRecordTime(0xFFFFFFFFLL), 0u);
}

}  // namespace
}  // namespace ruzd::watchdog
