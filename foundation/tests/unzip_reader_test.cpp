#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <random>
#include <string>
#include <vector>

#include "foundation/tests/zip_test_tools.h"
#include "foundation/unzip.h"
#include "foundation/utilities.h"
#include "foundation/zip.h"
#include "foundation/zip_times.h"
#include "platform/crt_file.h"
#include "platform/crt_flags.h"
#include "platform/local_time.h"
#include "testing/os_for_tests.h"
#include "testing/temp_root.h"

namespace ruzd::foundation {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// 15 June 2021 12:34:56 UTC.
constexpr int64_t kFileTime = 1623760496;

// Entries: 0 "Stored.TXT" (stored), 1 "dir/deflated.bin" (deflated, 25600 bytes), 2 "../escape/"
// and 3 "/abs/" (folders that would leave the extraction's folder), and a 65000-byte comment.
constexpr const char* kPythonArchive =
    "import sys, zipfile\n"
    "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
    "  s = zipfile.ZipInfo('Stored.TXT', date_time=(2020, 5, 17, 10, 20, 30))\n"
    "  s.external_attr = 0o100644 << 16\n"
    "  z.writestr(s, b'stored data here', compress_type=zipfile.ZIP_STORED)\n"
    "  d = zipfile.ZipInfo('dir/deflated.bin', date_time=(2020, 5, 17, 10, 20, 30))\n"
    "  z.writestr(d, bytes(range(256)) * 100, compress_type=zipfile.ZIP_DEFLATED)\n"
    "  z.writestr(zipfile.ZipInfo('../escape/'), b'')\n"
    "  z.writestr(zipfile.ZipInfo('/abs/'), b'')\n"
    "  z.comment = b'c' * 65000\n";

std::string Deflated() {
    std::string data;
    for (int i = 0; i < 25600; ++i) {
        data.push_back(static_cast<char>(i & 0xFF));
    }
    return data;
}

std::string ResultText() {
    char text[80];
    UnzipResultText(kZipLatestResult, text, sizeof text);
    return text;
}

uint64_t WindowsTime(int64_t unix_seconds) {
    return FileTimeOf(platform::WallTime(std::chrono::seconds(unix_seconds)));
}

class UnzipReaderTest : public ::testing::Test {
protected:
    UnzipReaderTest() {
        const ziptest::ToolResult made = ziptest::RunPython(kPythonArchive, {Path("py.zip")});
        EXPECT_EQ(made.exit_code, 0) << made.output;
        archive_ = testing::ReadWholeFile(Path("py.zip"));
        ziptest::WriteWholeFile(Path("pre.zip"), std::string(1000, 'L') + archive_);
    }

    std::string Path(const std::string& name) const { return (work_.path() / name).string(); }

    testing::TempWorkFolder work_;
    std::string archive_;
};

// The same archive from a file, from behind handles and from memory, with a loader in front:
// listed, found with and without case, and extracted into memory in halves and into files.
TEST_F(UnzipReaderTest, ReadsFromEverySourceWithDataInFront) {
    const std::string pre = testing::ReadWholeFile(Path("pre.zip"));
    const int32_t at_start =
        platform::CrtOpen("pre.zip", platform::kCrtReadOnly | platform::kCrtBinary, 0);
    const int32_t at_archive =
        platform::CrtOpen("pre.zip", platform::kCrtReadOnly | platform::kCrtBinary, 0);
    platform::CrtLseek(at_archive, 1000, 0);
    const std::string deflated = Deflated();
    const uint64_t dos_time = WindowsTime(platform::UtcSecondsOfLocalTime(2020, 5, 17, 10, 20, 30));
    struct Source {
        const void* source;
        uint32_t length;
        int32_t kind;
    };
    for (const Source& source :
         {Source{"py.zip", 0, kZipKindFileName}, Source{"pre.zip", 0, kZipKindFileName},
          Source{pre.data(), static_cast<uint32_t>(pre.size()), kZipKindMemory},
          Source{ZipHandleArgument(at_start), 0, kZipKindHandle},
          Source{ZipHandleArgument(at_archive), 0, kZipKindHandle}}) {
        SCOPED_TRACE(source.kind);
        ZipHandle* zip = UnzipOpen(source.source, source.length, source.kind);
        ASSERT_NE(zip, nullptr) << ResultText();
        ZipEntry entry;
        EXPECT_EQ(UnzipGetItem(zip, -1, &entry), kZipSuccess);
        EXPECT_EQ(entry.index, 4);
        EXPECT_EQ(entry.name, "");
        int32_t index = 7;
        EXPECT_EQ(UnzipFindItem(zip, "stored.txt", false, &index, &entry), kZipNotFound);
        EXPECT_EQ(index, -1);
        EXPECT_EQ(entry.index, -1);
        EXPECT_EQ(UnzipFindItem(zip, "stored.txt", true, &index, &entry), kZipSuccess);
        EXPECT_EQ(index, 0);
        EXPECT_EQ(entry.name, "Stored.TXT");
        EXPECT_EQ(entry.uncompressed_size, 16u);
        EXPECT_EQ(entry.attributes, kFileAttributeNormal);
        EXPECT_EQ(entry.modification_time, dos_time);

        std::string half(12800, '\0');
        std::string got;
        for (const int32_t expected : {kZipMoreData, kZipMoreData, kZipSuccess}) {
            EXPECT_EQ(UnzipExtractItem(zip, 1, half.data(), 12800, kZipKindMemory), expected);
            got += expected == kZipMoreData ? half : "";
        }
        EXPECT_EQ(got, deflated);
        EXPECT_EQ(UnzipClose(zip), kZipSuccess);
    }
    platform::CrtClose(at_start);
    platform::CrtClose(at_archive);

    ZipHandle* zip = UnzipOpen("pre.zip", 0, kZipKindFileName);
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(UnzipExtractItem(zip, 1, "out\\deep\\deflated.bin", 0, kZipKindFileName),
              kZipSuccess);
    EXPECT_EQ(testing::ReadWholeFile(Path("out/deep/deflated.bin")), deflated);
    EXPECT_EQ(fs::last_write_time(Path("out/deep/deflated.bin")),
              fs::file_time_type::clock::from_sys(WallTimeOfFileTime(dos_time)));
    const int32_t target =
        platform::CrtOpen("handle.txt",
                          platform::kCrtCreate | platform::kCrtWriteOnly | platform::kCrtTruncate |
                              platform::kCrtBinary,
                          platform::kCrtPermissionRead | platform::kCrtPermissionWrite);
    EXPECT_EQ(UnzipExtractItem(zip, 0, ZipHandleArgument(target), 0, kZipKindHandle), kZipSuccess);
    platform::CrtClose(target);
    EXPECT_EQ(testing::ReadWholeFile(Path("handle.txt")), "stored data here");
    // Folders named to leave the extraction's folder make nothing.
    EXPECT_EQ(UnzipExtractItem(zip, 2, "ignored", 0, kZipKindFileName), kZipFaultyArguments);
    EXPECT_EQ(UnzipExtractItem(zip, 3, "ignored", 0, kZipKindFileName), kZipFaultyArguments);
    EXPECT_FALSE(fs::exists(work_.path().parent_path() / "escape"));
    EXPECT_FALSE(fs::exists("/abs"));
    EXPECT_EQ(UnzipGetItem(zip, 4, nullptr), kZipFaultyArguments);
    EXPECT_EQ(ResultText(), "Caller: faulty arguments");
    EXPECT_EQ(UnzipClose(zip), kZipSuccess);
}

// A flipped data byte is reported as corrupt by every extraction, as is data shorter than the
// entry's size, and a file that got either is removed again; what is no archive fails to open
// with the reading layer's code.
TEST_F(UnzipReaderTest, CorruptDataAndNoArchive) {
    std::string flipped = archive_;
    flipped[flipped.find("stored data here") + 3] ^= 0x01;
    // The deflated entry claims one byte more than its data holds, in both of its headers.
    const size_t local = flipped.find("dir/deflated.bin") - 30;
    const size_t central = flipped.rfind("dir/deflated.bin") - 46;
    ASSERT_EQ(ziptest::Le32(flipped, local + 22), 25600u);
    ASSERT_EQ(ziptest::Le32(flipped, central + 24), 25600u);
    flipped[local + 22] = flipped[central + 24] = 0x01;
    ziptest::WriteWholeFile(Path("flipped.zip"), flipped);
    ZipHandle* zip =
        UnzipOpen(flipped.data(), static_cast<uint32_t>(flipped.size()), kZipKindMemory);
    ASSERT_NE(zip, nullptr);
    std::string block(16, '\0');
    EXPECT_EQ(UnzipExtractItem(zip, 0, block.data(), 16, kZipKindMemory), kZipMoreData);
    EXPECT_EQ(UnzipExtractItem(zip, 0, block.data(), 16, kZipKindMemory), kZipCorrupt);
    EXPECT_EQ(ResultText(), "Zipfile is corrupt or not a zipfile");
    EXPECT_EQ(UnzipExtractItem(zip, 0, "flipped.txt", 0, kZipKindFileName), kZipCorrupt);
    EXPECT_FALSE(fs::exists(Path("flipped.txt")));
    ziptest::WriteWholeFile(Path("short.bin"), "an older copy");
    EXPECT_EQ(UnzipExtractItem(zip, 1, "sub\\short.bin", 0, kZipKindFileName), kZipCorrupt);
    EXPECT_EQ(UnzipExtractItem(zip, 1, "short.bin", 0, kZipKindFileName), kZipCorrupt);
    EXPECT_FALSE(fs::exists(Path("sub/short.bin")));
    EXPECT_FALSE(fs::exists(Path("short.bin")));
    UnzipClose(zip);
    uint8_t* buffer = reinterpret_cast<uint8_t*>(flipped.data());
    uint32_t length = static_cast<uint32_t>(flipped.size());
    EXPECT_FALSE(CUtilities::UnzipBuffer(&buffer, &length, false, true));

    std::mt19937 random(40);
    std::string noise(4096, '\0');
    for (char& byte : noise) {
        byte = static_cast<char>(random());
    }
    EXPECT_EQ(UnzipOpen(noise.data(), 4096, kZipKindMemory), nullptr);
    EXPECT_EQ(LatestUnzipResult(), kUnzipBadArchive);
    EXPECT_EQ(ResultText(), "unknown zip result code");
    EXPECT_EQ(UnzipOpen("nothing.zip", 0, kZipKindFileName), nullptr);
    EXPECT_EQ(ResultText(), "Couldn't create/open file");
    testing::TestPipe pipe;
    EXPECT_EQ(UnzipOpen(ZipHandleArgument(pipe.read_fd()), 0, kZipKindHandle), nullptr);
    EXPECT_EQ(LatestUnzipResult(), kZipUnseekable);
    EXPECT_EQ(UnzipOpen("py.zip", 0, 9), nullptr);
    EXPECT_EQ(LatestUnzipResult(), kZipFaultyArguments);
    char small[8];
    EXPECT_EQ(UnzipResultText(kZipMoreData, small, sizeof small), 24u);
    EXPECT_STREQ(small, "Still m");
}

// Names under the UTF-8 flag (as Python writes every name beyond ASCII) are read in UTF-8 and
// found by their names; names without it are read in Windows-1252 as ever.
TEST_F(UnzipReaderTest, NamesInUtf8UnderTheirFlagAndInWindows1252Without) {
    const std::string cafe =
        "Caf\xc3\xa9 \xc3\xbc"
        "ber \xe2\x82\xac.txt";  // Café über €.txt
    const std::string japanese = "\xe6\x97\xa5\xe6\x9c\xac/\xe6\x97\xa5.txt";  // 日本/日.txt
    const ziptest::ToolResult made = ziptest::RunPython(
        "import sys, zipfile\n"
        "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
        "  z.writestr(sys.argv[2], b'cafe data')\n"
        "  z.writestr(sys.argv[3], b'nihon data')\n"
        "  z.writestr('Cafe-1252.txt', b'old data')\n",
        {Path("names.zip"), cafe, japanese});
    ASSERT_EQ(made.exit_code, 0) << made.output;
    // A writer without the flag kept its name in its code page: "Café-1252.txt".
    std::string bytes = testing::ReadWholeFile(Path("names.zip"));
    for (size_t at = bytes.find("Cafe-1252"); at != std::string::npos;
         at = bytes.find("Cafe-1252", at)) {
        bytes[at + 3] = '\xe9';
    }

    ZipHandle* zip = UnzipOpen(bytes.data(), static_cast<uint32_t>(bytes.size()), kZipKindMemory);
    ASSERT_NE(zip, nullptr) << ResultText();
    const std::vector<std::string> names = {cafe, japanese, "Caf\xc3\xa9-1252.txt"};
    const std::vector<std::string> data = {"cafe data", "nihon data", "old data"};
    for (int32_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ZipEntry entry;
        ASSERT_EQ(UnzipGetItem(zip, i, &entry), kZipSuccess);
        EXPECT_EQ(entry.name, names[i]);
        int32_t index = -1;
        ASSERT_EQ(UnzipFindItem(zip, names[i], false, &index, &entry), kZipSuccess);
        EXPECT_EQ(index, i);
        std::string block(entry.uncompressed_size, '\0');
        EXPECT_EQ(
            UnzipExtractItem(zip, index, block.data(), entry.uncompressed_size, kZipKindMemory),
            kZipMoreData);
        EXPECT_EQ(block, data[i]);
    }
    int32_t index = -1;
    EXPECT_EQ(UnzipFindItem(zip,
                            "CAF\xc3\xa9 \xc3\xbc"
                            "BER \xe2\x82\xac.TXT",
                            true, &index, nullptr),
              kZipSuccess);
    EXPECT_EQ(index, 0);
    // The UTF-8 name is not looked for among the stored bytes of another code page.
    EXPECT_EQ(UnzipFindItem(zip,
                            "Caf\xc3\x83\xc2\xa9 \xc3\x83\xc2\xbc"
                            "ber \xc3\xa2\xe2\x80\x9a\xc2\xac.txt",
                            false, &index, nullptr),
              kZipNotFound);
    UnzipClose(zip);
}

// Archives in the 64-bit format are refused at open, with a result that says so: the zip
// tool's (its end records and every header in the format), and Python's with one entry whose
// local header alone has the extension.
TEST_F(UnzipReaderTest, Zip64ArchivesAreRefusedAtOpen) {
    ziptest::WriteWholeFile(Path("a.txt"), "alpha\n");
    const ziptest::ToolResult zipped =
        ziptest::RunTool({"zip", "-q", "-fz", Path("z64.zip"), Path("a.txt")});
    ASSERT_EQ(zipped.exit_code, 0) << zipped.output;
    const ziptest::ToolResult made = ziptest::RunPython(
        "import sys, zipfile\n"
        "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
        "  z.writestr('small.txt', b'small')\n"
        "  with z.open('forced.txt', 'w', force_zip64=True) as f:\n"
        "    f.write(b'forced')\n",
        {Path("forced.zip")});
    ASSERT_EQ(made.exit_code, 0) << made.output;

    for (const char* name : {"z64.zip", "forced.zip"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(UnzipOpen(name, 0, kZipKindFileName), nullptr);
        EXPECT_EQ(LatestUnzipResult(), kZipUnsupportedZip64);
        EXPECT_EQ(ResultText(), "Zipfile uses ZIP64, which is not supported");
        std::string bytes = testing::ReadWholeFile(Path(name));
        EXPECT_EQ(UnzipOpen(bytes.data(), static_cast<uint32_t>(bytes.size()), kZipKindMemory),
                  nullptr);
        EXPECT_EQ(LatestUnzipResult(), kZipUnsupportedZip64);
        uint8_t* buffer = reinterpret_cast<uint8_t*>(bytes.data());
        uint32_t length = static_cast<uint32_t>(bytes.size());
        EXPECT_FALSE(CUtilities::UnzipBuffer(&buffer, &length, false, true));
    }
}

// The zip tool's archive keeps times in its extended time stamps and a read-only file's mode.
TEST_F(UnzipReaderTest, ReadsTheZipToolsTimesAndModes) {
    fs::create_directory(Path("src"));
    ziptest::WriteWholeFile(Path("src/a.txt"), "alpha");
    ziptest::WriteWholeFile(Path("src/ro.txt"), "read only");
    fs::last_write_time(
        Path("src/a.txt"),
        fs::file_time_type::clock::from_sys(platform::WallTime(std::chrono::seconds(kFileTime))));
    fs::permissions(Path("src/ro.txt"), fs::perms::owner_read);
    const ziptest::ToolResult zipped = ziptest::RunTool({"zip", "-r", "-q", "tool.zip", "src"});
    ASSERT_EQ(zipped.exit_code, 0) << zipped.output;

    ZipHandle* zip = UnzipOpen("tool.zip", 0, kZipKindFileName);
    ASSERT_NE(zip, nullptr);
    ZipEntry entry;
    int32_t index = -1;
    ASSERT_EQ(UnzipFindItem(zip, "src/a.txt", false, &index, &entry), kZipSuccess);
    EXPECT_EQ(entry.modification_time, WindowsTime(kFileTime));
    EXPECT_EQ(entry.attributes & kFileAttributeReadOnly, 0u);
    ASSERT_EQ(UnzipFindItem(zip, "SRC/RO.TXT", true, &index, &entry), kZipSuccess);
    EXPECT_EQ(entry.attributes & kFileAttributeReadOnly, kFileAttributeReadOnly);
    ASSERT_EQ(UnzipFindItem(zip, "src/", false, &index, &entry), kZipSuccess);
    EXPECT_EQ(entry.attributes & kFileAttributeDirectory, kFileAttributeDirectory);
    UnzipClose(zip);
}

// A tree with an archive, a read-only file and a script goes through a pipe: the tools accept
// the bytes, the archive is stored, the modes are kept, and the reader rebuilds the tree.
TEST_F(UnzipReaderTest, DirectoryTreeThroughAPipeAndBack) {
    fs::create_directories(Path("base/tree/sub"));
    uint8_t* inner = new uint8_t[5]{'i', 'n', 'n', 'e', 'r'};
    uint32_t inner_length = 5;
    ASSERT_TRUE(CUtilities::ZipBuffer(&inner, &inner_length, true, false));
    ziptest::WriteWholeFile(Path("base/tree/inner.zip"),
                            std::string(reinterpret_cast<char*>(inner), inner_length));
    delete[] inner;
    ziptest::WriteWholeFile(Path("base/tree/readonly.txt"), "do not touch\n");
    fs::last_write_time(
        Path("base/tree/readonly.txt"),
        fs::file_time_type::clock::from_sys(platform::WallTime(std::chrono::seconds(kFileTime))));
    fs::permissions(Path("base/tree/readonly.txt"), fs::perms::owner_read);
    ziptest::WriteWholeFile(Path("base/tree/run.sh"), "#!/bin/sh\necho run\n");
    fs::permissions(Path("base/tree/run.sh"), fs::perms::owner_all);
    ziptest::WriteWholeFile(Path("base/tree/sub/deep.txt"), std::string(3000, 'd'));

    testing::TestPipe pipe;
    std::future<std::string> received =
        std::async(std::launch::async, [&] { return pipe.ReadToEnd(); });
    ZipHandle* zip =
        ZipCreate(const_cast<void*>(ZipHandleArgument(pipe.write_fd())), 0, kZipKindHandle);
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(ZipAddDirectoryTree(zip, "base", "tree"), 1);
    EXPECT_EQ(ZipClose(zip), kZipSuccess);
    pipe.CloseWriteEnd();
    ziptest::WriteWholeFile(Path("tree.zip"), received.get());
    ziptest::ExpectToolsPass(Path("tree.zip"));
    const std::string listing = ziptest::PythonListing(Path("tree.zip"));
    EXPECT_THAT(listing, HasSubstr("tree/ 0 0 8 "));
    EXPECT_THAT(listing, HasSubstr("tree/inner.zip " + std::to_string(inner_length) + " 0 8 "));
    EXPECT_THAT(listing, HasSubstr("tree/readonly.txt 13 8 10 "));
    EXPECT_THAT(listing, HasSubstr(" 0o4 1 "));  // read-only: no owner write, bit 0
    EXPECT_THAT(listing, HasSubstr("tree/run.sh 19 8 10 "));
    EXPECT_THAT(listing, HasSubstr(" 0o7 0 "));  // the script's owner-execute bit
    EXPECT_THAT(listing, HasSubstr("tree/sub/ 0 0 8 "));
    EXPECT_THAT(listing, HasSubstr("tree/sub/deep.txt 3000 8 10 "));

    // Extracted into a fresh current folder, the folder of the open.
    const std::string bytes = testing::ReadWholeFile(Path("tree.zip"));
    fs::create_directory(Path("fresh"));
    fs::current_path(Path("fresh"));
    zip = UnzipOpen(bytes.data(), static_cast<uint32_t>(bytes.size()), kZipKindMemory);
    ASSERT_NE(zip, nullptr);
    ZipEntry all;
    UnzipGetItem(zip, -1, &all);
    EXPECT_EQ(all.index, 6);
    // Our own writer's attributes and times come back.
    ZipEntry read_only;
    ASSERT_EQ(UnzipFindItem(zip, "TREE/READONLY.TXT", true, nullptr, &read_only), kZipSuccess);
    EXPECT_EQ(read_only.attributes & kFileAttributeReadOnly, kFileAttributeReadOnly);
    EXPECT_EQ(read_only.modification_time, WindowsTime(kFileTime));
    for (int32_t i = 0; i < all.index; ++i) {
        ZipEntry entry;
        ASSERT_EQ(UnzipGetItem(zip, i, &entry), kZipSuccess);
        EXPECT_EQ(UnzipExtractItem(zip, i, entry.name.c_str(), 0, kZipKindFileName), kZipSuccess)
            << entry.name;
    }
    UnzipClose(zip);
    fs::current_path(work_.path());
    for (const char* file : {"inner.zip", "readonly.txt", "run.sh", "sub/deep.txt"}) {
        EXPECT_EQ(testing::ReadWholeFile(Path("fresh/tree/") + file),
                  testing::ReadWholeFile(Path("base/tree/") + file))
            << file;
    }
}

}  // namespace
}  // namespace ruzd::foundation
