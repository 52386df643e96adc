#include "platform/regular_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "testing/temp_root.h"

namespace ruzd::platform {
namespace {

class RegularFileTest : public ::testing::Test {
protected:
    testing::TempDir temp_;
    const std::filesystem::path& folder_ = temp_.path();
};

// A FIFO would hold a plain open (to read) or refuse it oddly (to write, ENXIO): either way the
// caller hears "not a regular file" at once, whatever it opened for.
TEST_F(RegularFileTest, RefusesAFifoAFolderAndASocketAtOnce) {
    const auto fifo = folder_ / "queue.txt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const int flags : {O_RDONLY, O_WRONLY | O_APPEND | O_CREAT, O_RDWR | O_CREAT}) {
        errno = 0;
        EXPECT_EQ(OpenRegularFile(fifo, flags, 0600), -1) << flags;
        EXPECT_EQ(errno, kNotARegularFileError) << flags;
    }
    EXPECT_EQ(OpenErrorText(kNotARegularFileError), "not a regular file");
    std::string content = "old";
    EXPECT_EQ(ReadRegularFile(fifo, content), kNotARegularFileError);
    EXPECT_TRUE(content.empty());

    EXPECT_EQ(OpenRegularFile(folder_, O_RDONLY), -1);
    EXPECT_EQ(errno, EISDIR);

    const auto socket_path = folder_ / "sock";
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket_path.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(ReadRegularFile(socket_path, content), kNotARegularFileError);
    ::close(listener);
}

TEST_F(RegularFileTest, ARegularFileOpensBlockingAndReadsWhole) {
    const auto path = folder_ / "map.txt";
    std::string expected(200000, 'x');
    expected += "end";
    std::ofstream(path, std::ios::binary) << expected;
    std::string content;
    EXPECT_EQ(ReadRegularFile(path, content), 0);
    EXPECT_EQ(content, expected);

    const int fd = OpenRegularFile(path, O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    ::close(fd);

    const int created = OpenRegularFile(folder_ / "new.txt", O_WRONLY | O_CREAT | O_EXCL, 0640);
    ASSERT_GE(created, 0);
    ::close(created);
    EXPECT_EQ(ReadRegularFile(folder_ / "missing.txt", content), ENOENT);
}

}  // namespace
}  // namespace ruzd::platform
