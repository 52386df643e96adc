#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/tests/zip_test_tools.h"
#include "foundation/utilities.h"
#include "platform/process_identity.h"
#include "testing/loopback_socket.h"
#include "testing/process_counters.h"
#include "testing/temp_root.h"

namespace ruzd::foundation {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Coded(std::vector<uint8_t> input, bool encode) {
    uint8_t* buffer = new uint8_t[input.size() + 1];
    std::copy(input.begin(), input.end(), buffer);
    uint32_t length = static_cast<uint32_t>(input.size());
    if (encode) {
        CUtilities::RunLengthEncode(&buffer, &length, true);
    } else {
        CUtilities::RunLengthDecode(&buffer, &length, true);
    }
    std::vector<uint8_t> output(buffer, buffer + length);
    delete[] buffer;
    return output;
}

TEST(UtilitiesBuffersTest, RunLengthCodesBothWays) {
    const std::vector<uint8_t> run(300, 0x07);
    const std::vector<std::pair<std::vector<uint8_t>, std::vector<uint8_t>>> vectors = {
        {{0x41, 0x41, 0x41, 0x42}, {0x41, 0x41, 0x03, 0x42}},
        {run, {0x07, 0x07, 0xFF, 0x07, 0x07, 0x2D}},
        {{}, {}},
    };
    for (const auto& [plain, coded] : vectors) {
        EXPECT_EQ(Coded(plain, true), coded);
        EXPECT_EQ(Coded(coded, false), plain);
    }
    // Counts no encoder writes add no copies; a pair without its count ends the data.
    EXPECT_EQ(Coded({0x41, 0x41, 0x00, 0x42}, false), (std::vector<uint8_t>{0x41, 0x42}));
    EXPECT_EQ(Coded({0x41, 0x41, 0x01, 0x42}, false), (std::vector<uint8_t>{0x41, 0x42}));
    EXPECT_EQ(Coded({0x43, 0x41, 0x41}, false), (std::vector<uint8_t>{0x43, 0x41}));
}

// A buffer zipped in memory is an archive Python reads as the one entry "data", and unzips to
// the input again.
TEST(UtilitiesBuffersTest, ZipBufferAndBack) {
    testing::TempDir dir;
    std::string input;
    for (int i = 0; i < 70000; ++i) {
        input.push_back(static_cast<char>("zip me "[i % 7] + (i / 1000) % 3));
    }
    uint8_t* buffer = static_cast<uint8_t*>(std::malloc(input.size()));
    std::copy(input.begin(), input.end(), buffer);
    uint32_t length = static_cast<uint32_t>(input.size());
    ASSERT_TRUE(CUtilities::ZipBuffer(&buffer, &length, true, true));
    EXPECT_LT(length, input.size());
    const fs::path archive = dir.path() / "buffer.zip";
    ziptest::WriteWholeFile(archive, std::string(reinterpret_cast<char*>(buffer), length));
    ziptest::ExpectToolsPass(archive);
    const ziptest::ToolResult names =
        ziptest::RunPython("import sys, zipfile\nprint(zipfile.ZipFile(sys.argv[1]).namelist())\n",
                           {archive.string()});
    EXPECT_EQ(names.output, "['data']\n");
    ASSERT_TRUE(CUtilities::UnzipBuffer(&buffer, &length, true, true));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), length), input);
    std::free(buffer);
}

// Sizes about the growing block's steps, zipped and back, in both kinds of memory.
TEST(UtilitiesBuffersTest, EverySizeComesBackAsZipped) {
    for (const size_t size : {0, 1, 65535, 65536, 65537, 300000}) {
        for (const bool use_malloc : {true, false}) {
            SCOPED_TRACE(size);
            std::string input(size, '\0');
            for (size_t i = 0; i < size; ++i) {
                input[i] = static_cast<char>((i * 7919) >> 5);
            }
            uint8_t* buffer =
                use_malloc ? static_cast<uint8_t*>(std::malloc(size + 1)) : new uint8_t[size + 1];
            std::copy(input.begin(), input.end(), buffer);
            uint32_t length = static_cast<uint32_t>(size);
            ASSERT_TRUE(CUtilities::ZipBuffer(&buffer, &length, true, use_malloc));
            ASSERT_TRUE(CUtilities::UnzipBuffer(&buffer, &length, true, use_malloc));
            EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), length), input);
            if (use_malloc) {
                std::free(buffer);
            } else {
                delete[] buffer;
            }
        }
    }
}

// An archive's claimed size takes no memory: a few bytes claiming 200 MiB are refused without
// the process growing, as is the claim of 4 GiB; real data beyond the bound is refused too,
// and ZipBuffer takes no more than UnzipBuffer gives back.
TEST(UtilitiesBuffersTest, UnzipTakesMemoryAsDataArrivesUpToItsBound) {
    uint8_t* zipped = static_cast<uint8_t*>(std::malloc(5));
    std::copy_n("hello", 5, zipped);
    uint32_t zipped_length = 5;
    ASSERT_TRUE(CUtilities::ZipBuffer(&zipped, &zipped_length, true, true));
    std::string archive(reinterpret_cast<char*>(zipped), zipped_length);
    std::free(zipped);
    const auto claim = [&](uint32_t size) {
        std::string claiming = archive;
        const size_t local = 0;
        const size_t central = claiming.rfind("PK\x01\x02");
        for (int i = 0; i < 4; ++i) {
            claiming[local + 22 + i] = static_cast<char>(size >> (8 * i));
            claiming[central + 24 + i] = static_cast<char>(size >> (8 * i));
        }
        return claiming;
    };
    const auto unzip = [](std::string bytes) {
        uint8_t* buffer = reinterpret_cast<uint8_t*>(bytes.data());
        uint32_t length = static_cast<uint32_t>(bytes.size());
        const bool unzipped = CUtilities::UnzipBuffer(&buffer, &length, false, true);
        if (unzipped) {
            std::free(buffer);
        }
        return unzipped;
    };

    testing::ResetPeakMemory();
    const size_t before = testing::MemoryBytes("VmHWM:");
    ASSERT_GT(before, 0u);
    EXPECT_FALSE(unzip(claim(200u << 20)));
    // Stop before the larger claim when this one took its memory.
    ASSERT_LT(testing::MemoryBytes("VmHWM:"), before + (32u << 20));
    EXPECT_FALSE(unzip(claim(0xFFFFFFFF)));
    EXPECT_FALSE(unzip(claim(CUtilities::kMaxUnzippedBuffer + 1)));
    EXPECT_LT(testing::MemoryBytes("VmHWM:"), before + (32u << 20));
    EXPECT_TRUE(unzip(claim(5)));

    // Zeros one byte beyond the bound, a few hundred kilobytes zipped by Python.
    testing::TempDir dir;
    const fs::path bomb = dir.path() / "bomb.zip";
    const ziptest::ToolResult made = ziptest::RunPython(
        "import sys, zipfile\n"
        "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
        "  with z.open('data', 'w') as f:\n"
        "    for i in range(256):\n"
        "      f.write(bytes(1 << 20))\n"
        "    f.write(b'!')\n",
        {bomb.string()});
    ASSERT_EQ(made.exit_code, 0) << made.output;
    testing::ResetPeakMemory();
    const size_t bomb_before = testing::MemoryBytes("VmHWM:");
    EXPECT_FALSE(unzip(testing::ReadWholeFile(bomb)));
    EXPECT_LT(testing::MemoryBytes("VmHWM:"), bomb_before + (32u << 20));

    // Refused by its length alone, before a byte of it is read.
    uint8_t byte = 0;
    uint8_t* large = &byte;
    uint32_t large_length = CUtilities::kMaxUnzippedBuffer + 1;
    EXPECT_FALSE(CUtilities::ZipBuffer(&large, &large_length, false, true));
    EXPECT_EQ(large, &byte);
}

class UtilitiesFilesTest : public ::testing::Test {
protected:
    fs::path Path(const std::string& name) const { return work_.path() / name; }

    testing::TempWorkFolder work_;
};

TEST_F(UtilitiesFilesTest, UniqueNamesAndFolders) {
    for (const char* name : {"a.txt", "a (2).txt", "a (3).txt", "a (4).txt", "a (5).txt"}) {
        ziptest::WriteWholeFile(Path(name), name);
    }
    std::string path = "sub\\..\\a.txt";
    CUtilities::MakeUniqueFileName(path);
    EXPECT_EQ(path, "sub\\..\\a (6).txt");
    path = "free.txt";
    CUtilities::MakeUniqueFileName(path);
    EXPECT_EQ(path, "free.txt");

    EXPECT_EQ(CUtilities::CreateUniqueFolder("new\\folder", "(%d)"), "new\\folder");
    EXPECT_TRUE(fs::is_directory(Path("new/folder")));
    EXPECT_EQ(CUtilities::CreateUniqueFolder("new\\folder", "(%d)"), "new\\folder(1)");
    EXPECT_EQ(CUtilities::CreateUniqueFolder("new\\folder", "_%03ld"), "new\\folder_001");
    EXPECT_EQ(CUtilities::CreateUniqueFolder("new\\folder", "(%d)"), "new\\folder(2)");
    EXPECT_TRUE(fs::is_directory(Path("new/folder(2)")));
    for (const char* unusable : {"(%s)", "", "%d-%d", "%%d", "%n", "(%*d)"}) {
        EXPECT_EQ(CUtilities::CreateUniqueFolder("new\\folder", unusable), "") << unusable;
    }
    EXPECT_TRUE(CUtilities::CreateFolderTree("x\\y\\z\\"));
    EXPECT_TRUE(CUtilities::IsFolder("x\\y\\z"));
    EXPECT_FALSE(CUtilities::CreateFolderTree("a.txt"));
    EXPECT_TRUE(CUtilities::FileExists("a.txt") && CUtilities::FileExists("x"));
    EXPECT_FALSE(CUtilities::IsFolder("a.txt") || CUtilities::FileExists("b.txt"));
}

TEST_F(UtilitiesFilesTest, CopyAndDeleteFilesAndFolders) {
    fs::create_directories(Path("src/inner/empty"));
    ziptest::WriteWholeFile(Path("src/top.txt"), std::string(10000, 't'));
    ziptest::WriteWholeFile(Path("src/inner/deep.txt"), "deep");
    fs::create_directories(Path("dst"));
    ziptest::WriteWholeFile(Path("dst/top.txt"), "old");

    EXPECT_TRUE(CUtilities::CopyFolder("src", "dst"));
    EXPECT_EQ(testing::ReadWholeFile(Path("dst/top.txt")), std::string(10000, 't'));
    EXPECT_EQ(testing::ReadWholeFile(Path("dst/inner/deep.txt")), "deep");
    EXPECT_TRUE(fs::is_directory(Path("dst/inner/empty")));
    EXPECT_FALSE(CUtilities::CopyFolder("src", "src\\inner\\again"));
    EXPECT_FALSE(CUtilities::CopyFolder("missing", "dst2"));

    EXPECT_TRUE(CUtilities::CopyFileStream("src\\top.txt", "copy.txt"));
    EXPECT_EQ(testing::ReadWholeFile(Path("copy.txt")), std::string(10000, 't'));
    EXPECT_FALSE(CUtilities::CopyFileStream("copy.txt", ".\\COPY.TXT"));  // the same file
    EXPECT_EQ(fs::file_size(Path("copy.txt")), 10000u);
    EXPECT_FALSE(CUtilities::CopyFileStream("missing.txt", "other.txt"));
    EXPECT_FALSE(CUtilities::CopyFileStream("", "other.txt"));

    EXPECT_TRUE(CUtilities::DeleteFolder("dst"));
    EXPECT_FALSE(fs::exists(Path("dst")));
    EXPECT_TRUE(CUtilities::DeleteFolder("src\\inner\\empty"));
    EXPECT_FALSE(CUtilities::DeleteFolder("src\\inner\\empty"));
    EXPECT_FALSE(CUtilities::DeleteFolder("copy.txt"));
    EXPECT_TRUE(fs::exists(Path("copy.txt")));
}

// A display provider that a test fills in.
class TestDisplay : public DisplayProvider {
public:
    std::optional<std::vector<MonitorHandle>> Monitors() override {
        return std::vector<MonitorHandle>{1, 2};
    }
    bool MonitorRects(MonitorHandle monitor, DisplayRect* work, DisplayRect* area) override {
        *area = monitor == 1 ? DisplayRect{0, 0, 1920, 1080} : DisplayRect{0, 0, 800, 600};
        *work = DisplayRect{area->left, area->top, area->right, area->bottom - 40};
        return true;
    }
    void SetClipboardText(const std::string& text) override { clipboard_ = text; }
    std::string ClipboardText() override { return clipboard_; }

private:
    std::string clipboard_;
};

TEST(UtilitiesSystemTest, QueriesOfThisSystem) {
    testing::RawListener listener;
    ASSERT_TRUE(listener.valid());
    const uint32_t network_order = ((listener.port() & 0xFF) << 8) | (listener.port() >> 8);
    EXPECT_EQ(CUtilities::GetListenerProcessId(network_order), platform::CurrentProcessId());
    listener.Close();
    EXPECT_EQ(CUtilities::GetListenerProcessId(network_order), 0u);

    EXPECT_EQ(CUtilities::GetProcessImagePath(platform::CurrentProcessId()),
              fs::read_symlink("/proc/self/exe").string());
    EXPECT_EQ(CUtilities::GetProcessImagePath(0), "");

    const std::string uuid = CUtilities::NewUuidString();
    ASSERT_EQ(uuid.size(), 36u);
    for (size_t i = 0; i < uuid.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        EXPECT_TRUE(dash ? uuid[i] == '-' : std::isxdigit(uuid[i]) && !std::isupper(uuid[i]))
            << uuid;
    }
    EXPECT_NE(CUtilities::NewUuidString(), uuid);

    std::string domain = "WORKGROUP";
    bool flag = true;
    EXPECT_EQ(CUtilities::GetPrimaryDomain(domain, &flag), 0u);
    EXPECT_EQ(domain, "");
    EXPECT_TRUE(flag);
}

TEST(UtilitiesSystemTest, MonitorsAndClipboardNeedADisplay) {
    std::vector<MonitorHandle> monitors;
    DisplayRect work{1, 2, 3, 4};
    DisplayRect area{5, 6, 7, 8};
    EXPECT_EQ(CUtilities::EnumMonitors(monitors), -1);
    EXPECT_FALSE(CUtilities::GetMonitorRects(1, &work, &area));
    EXPECT_FALSE(CUtilities::GetMonitorRectsAtPoint({10, 10}, &work, &area));
    EXPECT_EQ(work.right, 3);
    CUtilities::SetClipboardText("lost");
    EXPECT_EQ(CUtilities::GetClipboardText(), "");

    TestDisplay display;
    InstallDisplayProvider(&display);
    EXPECT_EQ(CUtilities::EnumMonitors(monitors), 2);
    // The last monitor listed whose work area holds the point.
    EXPECT_TRUE(CUtilities::GetMonitorRectsAtPoint({10, 10}, &work, &area));
    EXPECT_EQ(area.right, 800);
    EXPECT_TRUE(CUtilities::GetMonitorRectsAtPoint({1000, 10}, &work, &area));
    EXPECT_EQ(work.bottom, 1040);
    EXPECT_FALSE(CUtilities::GetMonitorRectsAtPoint({1000, 1050}, &work, &area));
    EXPECT_EQ(work.bottom, 1040);
    CUtilities::SetClipboardText("Grüße");
    EXPECT_EQ(CUtilities::GetClipboardText(), "Grüße");
    InstallDisplayProvider(nullptr);
}

}  // namespace
}  // namespace ruzd::foundation
