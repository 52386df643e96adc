#include "foundation/crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "foundation/crc32_dynamic.h"
#include "foundation/crc32_static.h"
#include "testing/temp_root.h"

namespace ruzd::foundation {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kCheckValue = 0xCBF43926;  // of "123456789"

// Every way to take a file's checksum, by name for the failure messages.
struct FileMember {
    const char* name;
    uint32_t (*checksum)(const std::string& path, uint32_t& crc32);
};

CCrc32Dynamic& BuiltDynamic() {
    static CCrc32Dynamic dynamic;
    static const bool built = (dynamic.BuildTable(), true);
    static_cast<void>(built);
    return dynamic;
}

const FileMember kFileMembers[] = {
    {"GetFileCrc32", GetFileCrc32},
    {"GetFileCrc32Blocks", GetFileCrc32Blocks},
    {"GetFileCrc32Mapped", GetFileCrc32Mapped},
    {"dynamic FileChecksum",
     [](const std::string& path, uint32_t& crc32) {
         return BuiltDynamic().FileChecksum(path, crc32);
     }},
    {"dynamic FileChecksumBlocks",
     [](const std::string& path, uint32_t& crc32) {
         return BuiltDynamic().FileChecksumBlocks(path, crc32);
     }},
    {"dynamic FileChecksumMapped",
     [](const std::string& path, uint32_t& crc32) {
         return BuiltDynamic().FileChecksumMapped(path, crc32);
     }},
};

class Crc32Files : public ::testing::Test {
protected:
    // Writes `bytes` to C:\<name> and returns that Windows path.
    std::string WriteDriveFile(const std::string& name, const std::string& bytes) {
        fs::create_directories(DriveFolder());
        std::ofstream(DriveFolder() / name, std::ios::binary) << bytes;
        return "C:\\" + name;
    }
    // C:\<name> as a link to a host file.
    std::string LinkDriveFile(const std::string& name, const fs::path& target) {
        fs::create_directories(DriveFolder());
        fs::create_symlink(target, DriveFolder() / name);
        return "C:\\" + name;
    }
    fs::path DriveFolder() const { return root_.path() / "drives" / "c"; }

    testing::TempRoot root_;
};

TEST(Crc32, CheckValueAndLowBytesOfText) {
    uint32_t crc32 = 0;
    EXPECT_EQ(GetStringCrc32("123456789", crc32), 0u);
    EXPECT_EQ(crc32, kCheckValue);
    EXPECT_EQ(GetBufferCrc32("123456789", 9), kCheckValue);
    EXPECT_EQ(GetBufferCrc32("", 0), 0u);

    uint32_t letter_a = 0;
    uint32_t l_stroke = 0;  // U+0141 counts with its low byte 0x41
    GetStringCrc32("A", letter_a);
    EXPECT_EQ(GetStringCrc32("\xC5\x81", l_stroke), 0u);
    EXPECT_EQ(l_stroke, letter_a);

    uint32_t dynamic_text = 0;
    EXPECT_EQ(BuiltDynamic().TextChecksum("\xC5\x81", dynamic_text), 0u);
    EXPECT_EQ(dynamic_text, letter_a);

    uint32_t untouched = 0x12345678;
    EXPECT_EQ(GetCrc32Unsupported("123456789", untouched), 50u);
    EXPECT_EQ(untouched, 0x12345678u);

    uint32_t stepped = 0xFFFFFFFF;
    for (const char byte : std::string("123456789")) {
        CCrc32Static::AddByte(static_cast<uint8_t>(byte), stepped);
    }
    EXPECT_EQ(~stepped, kCheckValue);
}

TEST(Crc32, DynamicWithoutTableRefusesButBuildsForBuffers) {
    CCrc32Dynamic dynamic;
    uint32_t crc32 = 0x55;
    EXPECT_EQ(dynamic.TextChecksum("123456789", crc32), 23u);
    EXPECT_EQ(crc32, 0u);
    for (auto member : {&CCrc32Dynamic::FileChecksum, &CCrc32Dynamic::FileChecksumBlocks,
                        &CCrc32Dynamic::FileChecksumMapped}) {
        crc32 = 0x55;
        EXPECT_EQ((dynamic.*member)("C:\\ANY.VOX", crc32), 23u);
        EXPECT_EQ(crc32, 0u);
    }
    EXPECT_EQ(dynamic.BufferChecksum("123456789", 9), kCheckValue);
    EXPECT_EQ(dynamic.TextChecksum("123456789", crc32), 0u);
    EXPECT_EQ(crc32, kCheckValue);
    dynamic.ReleaseTable();
    EXPECT_EQ(dynamic.TextChecksum("123456789", crc32), 23u);
}

TEST_F(Crc32Files, EmptyMissingAndCheckFiles) {
    const std::string empty = WriteDriveFile("EMPTY.VOX", "");
    const std::string check = WriteDriveFile("CHECK.VOX", "123456789");
    for (const FileMember& member : kFileMembers) {
        SCOPED_TRACE(member.name);
        uint32_t crc32 = 0x55;
        EXPECT_EQ(member.checksum(empty, crc32), 0u);
        EXPECT_EQ(crc32, 0u);
        crc32 = 0x55;
        EXPECT_EQ(member.checksum("C:\\SUCH.VOX", crc32), 2u);
        EXPECT_EQ(crc32, 0u);
        EXPECT_EQ(member.checksum("c:\\check.vox", crc32), 0u);
        EXPECT_EQ(crc32, kCheckValue);
    }
}

// 25 MiB (more than two whole views and a part) of random bytes: every member gives zlib's
// checksum of the same bytes.
TEST_F(Crc32Files, LargeRandomFileGivesZlibsValue) {
    std::string bytes(25 * 1024 * 1024 + 123, '\0');
    std::mt19937 random(20240517);
    for (char& byte : bytes) {
        byte = static_cast<char>(random() & 0xFF);
    }
    const uint32_t expected = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
    EXPECT_EQ(GetBufferCrc32(bytes.data(), bytes.size()), expected);
    const std::string path = WriteDriveFile("RANDOM.VOX", bytes);
    for (const FileMember& member : kFileMembers) {
        uint32_t crc32 = 0;
        EXPECT_EQ(member.checksum(path, crc32), 0u) << member.name;
        EXPECT_EQ(crc32, expected) << member.name;
    }
}

// A read that fails part way, or a view that cannot be mapped, is an error, never the
// checksum of what came before it.
TEST_F(Crc32Files, FailedReadOrViewIsAnError) {
    const std::string unreadable = LinkDriveFile("MEM.VOX", "/proc/self/mem");  // reads fail
    for (auto member : {GetFileCrc32, GetFileCrc32Blocks}) {
        uint32_t crc32 = 0;
        EXPECT_NE(member(unreadable, crc32), 0u);
        EXPECT_EQ(crc32, 0u);
    }
    const fs::path attribute = "/sys/devices/system/cpu/online";  // a size, but no mapping
    if (!fs::exists(attribute)) {
        GTEST_SKIP() << "no " << attribute;
    }
    uint32_t crc32 = 0;
    EXPECT_NE(GetFileCrc32Mapped(LinkDriveFile("SYS.VOX", attribute), crc32), 0u);
    EXPECT_EQ(crc32, 0u);
}

TEST_F(Crc32Files, FolderIsRefused) {
    fs::create_directories(DriveFolder() / "VOX");
    uint32_t crc32 = 0x55;
    EXPECT_EQ(GetFileCrc32("C:\\VOX", crc32), 5u);
    EXPECT_EQ(crc32, 0u);
}

}  // namespace
}  // namespace ruzd::foundation
