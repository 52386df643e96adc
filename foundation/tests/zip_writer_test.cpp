#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <zlib.h>
#include <chrono>
#include <filesystem>
#include <future>
#include <map>
#include <string>
#include <vector>

#include "foundation/tests/zip_test_tools.h"
#include "foundation/unzip.h"
#include "foundation/zip.h"
#include "platform/clock.h"
#include "platform/crt_file.h"
#include "platform/crt_flags.h"
#include "platform/local_time.h"
#include "platform/text.h"
#include "testing/os_for_tests.h"
#include "testing/scoped_environment.h"
#include "testing/temp_root.h"

namespace ruzd::foundation {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ziptest::Le16;
using ziptest::Le32;

// 15 June 2021 12:34:56 UTC, summer: 14:34:56 in Berlin.
constexpr int64_t kSummerFileTime = 1623760496;
// 10 January 2021 08:00:00 UTC, winter: 09:00:00 in Berlin.
constexpr int64_t kWinterNow = 1610265600;

// The entries of an archive as its central directory and local headers hold them.
struct RawEntry {
    uint32_t made_by = 0, needed = 0, flags = 0, method = 0, internal = 0, external = 0;
    uint32_t crc = 0, compressed = 0, size = 0;
    std::string central_extra;
    uint32_t local_flags = 0, local_size = 0;
    std::string local_extra;
};

std::map<std::string, RawEntry> RawEntries(const std::string& zip) {
    std::map<std::string, RawEntry> entries;
    const size_t end = zip.size() - 22;
    EXPECT_EQ(zip.substr(end, 4), "PK\x05\x06");
    size_t at = Le32(zip, end + 16);
    for (uint32_t i = 0; i < Le16(zip, end + 10); ++i) {
        EXPECT_EQ(zip.substr(at, 4), "PK\x01\x02");
        RawEntry entry;
        entry.made_by = Le16(zip, at + 4);
        entry.needed = Le16(zip, at + 6);
        entry.flags = Le16(zip, at + 8);
        entry.method = Le16(zip, at + 10);
        entry.crc = Le32(zip, at + 16);
        entry.compressed = Le32(zip, at + 20);
        entry.size = Le32(zip, at + 24);
        const uint32_t name_length = Le16(zip, at + 28);
        const uint32_t extra_length = Le16(zip, at + 30);
        entry.internal = Le16(zip, at + 36);
        entry.external = Le32(zip, at + 38);
        const uint32_t local = Le32(zip, at + 42);
        const std::string name = zip.substr(at + 46, name_length);
        entry.central_extra = zip.substr(at + 46 + name_length, extra_length);
        EXPECT_EQ(zip.substr(local, 4), "PK\x03\x04");
        entry.local_flags = Le16(zip, local + 6);
        entry.local_size = Le32(zip, local + 22);
        entry.local_extra = zip.substr(local + 30 + Le16(zip, local + 26), Le16(zip, local + 28));
        entries[name] = entry;
        at += 46 + name_length + extra_length;
    }
    return entries;
}

std::string UnixTimeBytes(int64_t seconds) {
    std::string bytes;
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<char>((seconds >> shift) & 0xFF));
    }
    return bytes;
}

std::string ResultText() {
    char text[80];
    ZipResultText(kZipLatestResult, text, sizeof text);
    return text;
}

class ZipWriterTest : public ::testing::Test {
protected:
    ZipWriterTest() : clock_(platform::WallTime(std::chrono::seconds(kWinterNow))) {
        environment_.Set("TZ", "Europe/Berlin");
        platform::ReloadTimeZone();
    }

    // The host path of a file that the code under test names by its Windows path: the name,
    // relative to the test's current folder.
    fs::path Path(const std::string& name) const { return work_.path() / name; }

    // Reads the zone again once the test's zone is gone.
    struct ZoneReload {
        ~ZoneReload() { platform::ReloadTimeZone(); }
    };

    testing::TempWorkFolder work_;
    ZoneReload zone_reload_;
    testing::ScopedEnvironment environment_;
    platform::ManualClock clock_;
    platform::ScopedClockOverride clock_override_{clock_};
};

std::string Crc(const std::string& data) {
    return platform::Format("%08lx", crc32(0, reinterpret_cast<const Bytef*>(data.data()),
                                           static_cast<uInt>(data.size())));
}

std::string Hex(const std::string& bytes) {
    std::string hex;
    for (const char byte : bytes) {
        hex += platform::Format("%02x", static_cast<uint8_t>(byte));
    }
    return hex + "\n";
}

void SetModified(const fs::path& path, int64_t seconds) {
    fs::last_write_time(path, fs::file_time_type::clock::from_sys(
                                  platform::WallTime(std::chrono::seconds(seconds))));
}

// An archive written to a file: every field the format fixes, judged by unzip, zipinfo and
// Python; entries without data descriptors; true UTC in the extended time stamps.
TEST_F(ZipWriterTest, FileArchiveHoldsTheFixedFields) {
    const std::string text(20000, 'T');
    const std::string binary = std::string(5000, '\x90') + "payload";
    ziptest::WriteWholeFile(Path("data.bin"), binary);
    ziptest::WriteWholeFile(Path("ro.dat"), "read only");
    SetModified(Path("data.bin"), kSummerFileTime);
    SetModified(Path("ro.dat"), kSummerFileTime);
    fs::permissions(Path("ro.dat"), fs::perms::owner_read | fs::perms::group_read);

    const std::string archive = Path("out.zip").string();
    ZipHandle* zip = ZipCreate(const_cast<char*>("out.zip"), 0, kZipKindFileName);
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(ZipAddItem(zip, "a\\b.zip", "zipped", 6, kZipKindMemory, 8), kZipSuccess);
    EXPECT_EQ(ZipAddItem(zip, "X.ZIP", "ZIPPED", 6, kZipKindMemory, 8), kZipSuccess);
    EXPECT_EQ(ZipAddItem(zip, "text.txt", text.data(), 20000, kZipKindMemory, 1), kZipSuccess);
    EXPECT_EQ(ZipAddItem(zip, "bin\\data.bin", ".\\data.bin", 0, kZipKindFileName, 8), kZipSuccess);
    EXPECT_EQ(ZipAddItem(zip, "ro.dat", "ro.dat", 0, kZipKindFileName, 5), kZipSuccess);
    EXPECT_EQ(ZipAddItem(zip, "folder", nullptr, 0, kZipKindFolder, 8), kZipSuccess);
    const uint8_t* memory = nullptr;
    uint32_t length = 0;
    EXPECT_EQ(ZipGetOutputMemory(zip, &memory, &length), kZipNotMemoryArchive);
    EXPECT_EQ(ZipClose(zip), kZipSuccess);

    ziptest::ExpectToolsPass(archive);
    // Memory sources carry the current local time, files their own.
    EXPECT_EQ(ziptest::PythonListing(archive),
              "a/b.zip 6 0 0 2021-01-10 09:00:00 0o0 0 " + Crc("zipped") + "\n" +
                  "X.ZIP 6 0 0 2021-01-10 09:00:00 0o0 0 " + Crc("ZIPPED") + "\n" +
                  "text.txt 20000 8 4 2021-01-10 09:00:00 0o0 0 " + Crc(text) + "\n" +
                  "bin/data.bin 5007 8 2 2021-06-15 14:34:56 0o6 0 " + Crc(binary) + "\n" +
                  "ro.dat 9 8 0 2021-06-15 14:34:56 0o4 1 " + Crc("read only") + "\n" +
                  "folder/ 0 0 0 2021-01-10 09:00:00 0o7 16 00000000\n");

    const std::string bytes = testing::ReadWholeFile(archive);
    std::map<std::string, RawEntry> entries = RawEntries(bytes);
    ASSERT_EQ(entries.size(), 6u);
    for (const auto& [name, entry] : entries) {
        SCOPED_TRACE(name);
        EXPECT_EQ(entry.made_by, 0x0B17u);
        EXPECT_EQ(entry.needed, 20u);
        EXPECT_EQ(entry.local_flags, entry.flags);  // the rewritten local header
        EXPECT_EQ(entry.flags & 8, 0u);
        EXPECT_EQ(entry.central_extra.substr(0, 5), std::string("UT\x05\x00\x07", 5));
        EXPECT_EQ(entry.local_extra.size(), 17u);
        EXPECT_EQ(entry.local_extra.substr(0, 5), std::string("UT\x0D\x00\x07", 5));
    }
    EXPECT_EQ(entries["a/b.zip"].external, 0x80000000u);
    EXPECT_EQ(entries["text.txt"].internal, 1u);
    EXPECT_EQ(entries["bin/data.bin"].internal, 0u);
    EXPECT_EQ(entries["bin/data.bin"].external, 0x81800000u);
    EXPECT_EQ(entries["ro.dat"].external, 0x81000001u);
    EXPECT_EQ(entries["folder/"].external, 0x41C00010u);
    const std::string summer = UnixTimeBytes(kSummerFileTime);
    EXPECT_EQ(entries["ro.dat"].central_extra.substr(5), summer);
    EXPECT_EQ(entries["ro.dat"].local_extra.substr(5, 4), summer);   // modified
    EXPECT_EQ(entries["ro.dat"].local_extra.substr(13, 4), summer);  // created: Linux has none
    EXPECT_EQ(entries["folder/"].local_extra.substr(5),
              UnixTimeBytes(kWinterNow) + UnixTimeBytes(kWinterNow) + UnixTimeBytes(kWinterNow));
    const ziptest::ToolResult info = ziptest::RunTool({"zipinfo", "-v", archive, "ro.dat"});
    EXPECT_THAT(info.output, HasSubstr("(UT extra field modtime): 2021 Jun 15 12:34:56 UTC"));
    EXPECT_THAT(info.output, HasSubstr("(DOS date/time):          2021 Jun 15 14:34:56"));
}

// Memory output grows from a block too small for anything, and finishing twice writes one
// directory; a pipe gets data descriptors, and an unsized source 0xFFFFFFFF in its local header.
TEST_F(ZipWriterTest, MemoryGrowsAndPipesGetDataDescriptors) {
    char block[10] = {};
    const std::string text = "the quick brown fox jumps over the lazy dog\n";
    ZipHandle* zip = ZipCreate(block, sizeof block, kZipKindMemory);
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(ZipAddItem(zip, "fox.txt", text.data(), 44, kZipKindMemory, 6), kZipSuccess);
    EXPECT_EQ(ZipAddItem(zip, "inner.gz", text.data(), 44, kZipKindMemory, 6), kZipSuccess);
    const uint8_t* memory = nullptr;
    uint32_t length = 0;
    ASSERT_EQ(ZipGetOutputMemory(zip, &memory, &length), kZipSuccess);
    const std::string first(reinterpret_cast<const char*>(memory), length);
    ASSERT_EQ(ZipGetOutputMemory(zip, &memory, &length), kZipSuccess);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(memory), length), first);
    EXPECT_EQ(ZipAddItem(zip, "late.txt", "x", 1, kZipKindMemory, 6), kZipEnded);
    EXPECT_EQ(ResultText(), "Caller: additions to the zip have already been ended");
    EXPECT_EQ(ZipClose(zip), kZipSuccess);
    ziptest::WriteWholeFile(Path("memory.zip"), first);
    ziptest::ExpectToolsPass(Path("memory.zip"));

    testing::TestPipe output;
    testing::TestPipe unsized;
    ASSERT_TRUE(output.valid() && unsized.valid());
    std::future<std::string> received =
        std::async(std::launch::async, [&] { return output.ReadToEnd(); });
    platform::CrtWrite(unsized.write_fd(), text.data(), 44);
    unsized.CloseWriteEnd();
    zip = ZipCreate(const_cast<void*>(ZipHandleArgument(output.write_fd())), 0, kZipKindHandle);
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(
        ZipAddItem(zip, "piped.txt", ZipHandleArgument(unsized.read_fd()), 0, kZipKindHandle, 2),
        kZipSuccess);
    EXPECT_EQ(ZipAddItem(zip, "sized.zip", text.data(), 44, kZipKindMemory, 8), kZipSuccess);
    EXPECT_EQ(ZipClose(zip), kZipSuccess);
    output.CloseWriteEnd();
    const std::string piped = received.get();
    ziptest::WriteWholeFile(Path("piped.zip"), piped);
    ziptest::ExpectToolsPass(Path("piped.zip"));
    std::map<std::string, RawEntry> entries = RawEntries(piped);
    EXPECT_EQ(entries["piped.txt"].local_size, 0xFFFFFFFFu);
    EXPECT_EQ(entries["piped.txt"].size, 44u);
    EXPECT_EQ(entries["piped.txt"].flags, 8u | 4u);
    EXPECT_EQ(entries["piped.txt"].local_flags, 8u | 4u);
    EXPECT_EQ(entries["sized.zip"].local_size, 44u);
    EXPECT_EQ(entries["sized.zip"].flags, 8u);
    // The descriptor follows each entry's data.
    const std::string descriptor = "PK\x07\x08" + UnixTimeBytes(entries["piped.txt"].crc) +
                                   UnixTimeBytes(entries["piped.txt"].compressed) +
                                   UnixTimeBytes(44);
    EXPECT_NE(piped.find(descriptor), std::string::npos);
}

// A name beyond ASCII is stored in UTF-8 under the UTF-8 flag, in both headers, which Python's
// zipfile and unzip read as the name it is (in a file, through a pipe); ASCII names are stored
// as they were, without the flag. The reader finds each by its name.
TEST_F(ZipWriterTest, NamesBeyondAsciiAreWrittenInUtf8ForTheTools) {
    const std::string cafe =
        "Caf\xc3\xa9 \xc3\xbc"
        "ber \xe2\x82\xac.txt";                               // Café über €.txt
    const std::string japanese = "\xe6\x97\xa5\xe6\x9c\xac";  // 日本
    ZipHandle* zip = ZipCreate(const_cast<char*>("names.zip"), 0, kZipKindFileName);
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(ZipAddItem(zip, cafe, "caf\xc3\xa9", 5, kZipKindMemory, 8), kZipSuccess);
    EXPECT_EQ(ZipAddItem(zip, japanese + "\\" + japanese + ".txt", "nihon", 5, kZipKindMemory, 6),
              kZipSuccess);
    EXPECT_EQ(ZipAddItem(zip, "plain.txt", "plain", 5, kZipKindMemory, 8), kZipSuccess);
    EXPECT_EQ(ZipAddItem(zip,
                         "Gr\xc3\xbc\xc3\x9f"
                         "e",
                         nullptr, 0, kZipKindFolder, 8),
              kZipSuccess);
    EXPECT_EQ(ZipClose(zip), kZipSuccess);
    const std::vector<std::string> names = {cafe, japanese + "/" + japanese + ".txt", "plain.txt",
                                            "Gr\xc3\xbc\xc3\x9f"
                                            "e/"};

    const std::string bytes = testing::ReadWholeFile(Path("names.zip"));
    std::map<std::string, RawEntry> entries = RawEntries(bytes);
    ASSERT_EQ(entries.size(), 4u);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        ASSERT_EQ(entries.count(name), 1u);
        const uint32_t utf8 = name == "plain.txt" ? 0 : 0x800;
        EXPECT_EQ(entries[name].flags & 0x800, utf8);
        EXPECT_EQ(entries[name].local_flags & 0x800, utf8);
    }
    ziptest::ExpectToolsPass(Path("names.zip"));
    // The names' UTF-8 bytes in hexadecimal, past any conversion of the output.
    const char* kNames =
        "import sys, zipfile\n"
        "names = zipfile.ZipFile(sys.argv[1]).namelist()\n"
        "print('|'.join(names).encode('utf-8').hex())\n";
    std::string joined;
    for (const std::string& name : names) {
        joined += (joined.empty() ? "" : "|") + name;
    }
    EXPECT_EQ(ziptest::RunPython(kNames, {Path("names.zip").string()}).output, Hex(joined));

    // unzip makes files of the names, in a UTF-8 locale as the user's.
    const ziptest::ToolResult unzipped =
        ziptest::RunTool({"env", "LC_ALL=C.UTF-8", "unzip", "-q", Path("names.zip").string(), "-d",
                          Path("out").string()});
    EXPECT_EQ(unzipped.exit_code, 0) << unzipped.output;
    EXPECT_EQ(testing::ReadWholeFile(Path("out") / cafe), "caf\xc3\xa9");
    EXPECT_EQ(testing::ReadWholeFile(Path("out") / japanese / (japanese + ".txt")), "nihon");
    EXPECT_TRUE(fs::is_directory(Path("out") / ("Gr\xc3\xbc\xc3\x9f"
                                                "e")));

    // The same through a pipe, with data descriptors.
    testing::TestPipe output;
    std::future<std::string> received =
        std::async(std::launch::async, [&] { return output.ReadToEnd(); });
    zip = ZipCreate(const_cast<void*>(ZipHandleArgument(output.write_fd())), 0, kZipKindHandle);
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(ZipAddItem(zip, cafe, "piped", 5, kZipKindMemory, 8), kZipSuccess);
    EXPECT_EQ(ZipClose(zip), kZipSuccess);
    output.CloseWriteEnd();
    ziptest::WriteWholeFile(Path("piped.zip"), received.get());
    ziptest::ExpectToolsPass(Path("piped.zip"));
    EXPECT_EQ(ziptest::RunPython(kNames, {Path("piped.zip").string()}).output, Hex(cafe));

    zip = UnzipOpen("names.zip", 0, kZipKindFileName);
    ASSERT_NE(zip, nullptr);
    for (int32_t i = 0; i < 4; ++i) {
        ZipEntry entry;
        ASSERT_EQ(UnzipGetItem(zip, i, &entry), kZipSuccess);
        EXPECT_EQ(entry.name, names[i]);
        int32_t index = -1;
        EXPECT_EQ(UnzipFindItem(zip, names[i], false, &index, nullptr), kZipSuccess);
        EXPECT_EQ(index, i);
    }
    UnzipClose(zip);
}

// Errors stick; each refusal has its code and text.
TEST_F(ZipWriterTest, RefusalsAndStickyErrors) {
    EXPECT_EQ(ZipCreate(nullptr, 0, kZipKindMemory), nullptr);
    EXPECT_EQ(ResultText(), "Caller: not enough space allocated for memory zipfile");
    EXPECT_EQ(ZipCreate(const_cast<void*>(ZipHandleArgument(-1)), 0, kZipKindHandle), nullptr);
    EXPECT_EQ(ResultText(), "Culdn't duplicate handle");
    EXPECT_EQ(ZipCreate(nullptr, 100, 7), nullptr);
    EXPECT_EQ(LatestZipResult(), kZipFaultyArguments);

    auto fresh = [] { return ZipCreate(nullptr, 100, kZipKindMemory); };
    ZipHandle* zip = fresh();
    EXPECT_EQ(ZipAddItem(zip, "level9.txt", "abc", 3, kZipKindMemory, 9), kZipWriteFailed);
    EXPECT_EQ(ZipAddItem(zip, "next.txt", "abc", 3, kZipKindMemory, 8), kZipPreviousError);
    EXPECT_EQ(ResultText(), "Caller: there was a previous error");
    ZipClose(zip);

    zip = fresh();
    EXPECT_EQ(ZipAddItem(zip, std::string(260, 'n'), "abc", 3, kZipKindMemory, 8),
              kZipFaultyArguments);
    ZipClose(zip);
    zip = fresh();
    EXPECT_EQ(ZipAddItem(zip, "Caf\xe9.txt", "abc", 3, kZipKindMemory, 8),
              kZipFaultyArguments);  // not UTF-8
    ZipClose(zip);
    zip = fresh();
    std::string long_name;
    for (int i = 0; i < 260; ++i) {
        long_name += "\xc3\xa9";
    }
    EXPECT_EQ(ZipAddItem(zip, long_name, "abc", 3, kZipKindMemory, 8), kZipFaultyArguments);
    ZipClose(zip);
    zip = fresh();
    EXPECT_EQ(ZipAddItem(zip, "missing", "nothing", 0, kZipKindFileName, 8), kZipCannotOpenFile);
    ZipClose(zip);

    // A handle that promised more than it gave.
    testing::TestPipe source;
    platform::CrtWrite(source.write_fd(), "short", 5);
    source.CloseWriteEnd();
    zip = fresh();
    EXPECT_EQ(
        ZipAddItem(zip, "short.txt", ZipHandleArgument(source.read_fd()), 100, kZipKindHandle, 8),
        kZipSizeMismatch);
    EXPECT_EQ(ResultText(), "Zip-bug: the anticipated size turned out wrong");
    ZipClose(zip);

    // An unsized stored entry cannot go to a pipe: its local header promised a size.
    testing::TestPipe output;
    testing::TestPipe unsized;
    std::future<std::string> received =
        std::async(std::launch::async, [&] { return output.ReadToEnd(); });
    unsized.CloseWriteEnd();
    zip = ZipCreate(const_cast<void*>(ZipHandleArgument(output.write_fd())), 0, kZipKindHandle);
    EXPECT_EQ(
        ZipAddItem(zip, "unsized.zip", ZipHandleArgument(unsized.read_fd()), 0, kZipKindHandle, 8),
        kZipMindChanged);
    ZipClose(zip);
    output.CloseWriteEnd();
    received.get();

    // The two sides do not mix.
    ZipHandle* reader = UnzipOpen(nullptr, 0, kZipKindMemory);
    EXPECT_EQ(reader, nullptr);
    zip = fresh();
    EXPECT_EQ(UnzipGetItem(zip, 0, nullptr), kZipMixedSides);
    EXPECT_EQ(ZipAddItem(nullptr, "a", "a", 1, kZipKindMemory, 8), kZipFaultyArguments);
    EXPECT_EQ(ZipAddItem(zip, "a", "a", 1, 5, 8), kZipFaultyArguments);
    EXPECT_TRUE(IsZipWriterHandle(nullptr) && IsZipWriterHandle(zip) && !IsUnzipHandle(zip));
    ZipClose(zip);
}

}  // namespace
}  // namespace ruzd::foundation
