#include "platform/append_only_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "platform/regular_file.h"
#include "testing/os_for_tests.h"
#include "testing/temp_root.h"

namespace ruzd::platform {
namespace {

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A log whose disk fills up keeps whole lines only: a line the disk took part of is taken back,
// the failure is told, and the next line that finds room starts a line of its own; so too for
// the writers that share the log with other processes under its lock.
TEST(AppendOnlyFileTest, ALineWrittenInPartIsTakenBackAndTheFailureTold) {
    for (const bool exclusive : {false, true}) {
        SCOPED_TRACE(exclusive ? "exclusive" : "alone");
        testing::TempDir temp;
        const auto path = temp.path() / "log.txt";
        AppendOnlyFile file;
        const auto write = [&](std::string_view bytes) {
            return exclusive ? file.WriteAllExclusive(bytes) : file.WriteAll(bytes);
        };
        ASSERT_TRUE(file.Open(path));
        EXPECT_EQ(write("first\r\n"), 0);
        {
            // Room for a few bytes more: the write is cut short there, as on a full disk.
            testing::FileSizeLimit limit(file.Size() + 4);
            ASSERT_TRUE(limit.valid());
            EXPECT_EQ(write(std::string(100, 'x') + "\r\n"), EFBIG);
        }
        EXPECT_EQ(ReadAll(path), "first\r\n");
        EXPECT_EQ(write("third\r\n"), 0);
        EXPECT_EQ(ReadAll(path), "first\r\nthird\r\n");

        file.Close();
        EXPECT_EQ(write("lost\r\n"), EBADF);
    }
}

// A FIFO in the log's place would hold a plain open until a reader came: refused at once.
TEST(AppendOnlyFileTest, AFifoInTheFilesPlaceIsRefusedAtOnce) {
    testing::TempDir temp;
    const auto fifo = temp.path() / "log.txt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    AppendOnlyFile file;
    EXPECT_FALSE(file.Open(fifo));
    EXPECT_EQ(file.open_error(), kNotARegularFileError);
    EXPECT_FALSE(file.is_open());
}

}  // namespace
}  // namespace ruzd::platform
