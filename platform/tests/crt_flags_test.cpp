#include "platform/crt_flags.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "testing/temp_root.h"

namespace ruzd::platform {
namespace {

TEST(CrtOpenFlags, TranslateToPosix) {
    const struct {
        uint32_t crt;
        int posix;
    } table[] = {
        {0x0000, O_RDONLY},
        {0x0001, O_WRONLY},
        {0x0002, O_RDWR},
        {0x8000, O_RDONLY},  // _O_BINARY
        {0x4000, O_RDONLY},  // _O_TEXT
        {0x0008 | 0x0001, O_WRONLY | O_APPEND},
        {0x0100 | 0x0002, O_RDWR | O_CREAT},
        {0x0100 | 0x0200 | 0x0001 | 0x8000, O_WRONLY | O_CREAT | O_TRUNC},
        {0x0100 | 0x0400 | 0x0002, O_RDWR | O_CREAT | O_EXCL},
        {0x0400 | 0x0002, O_RDWR},  // _O_EXCL alone is ignored
        {0x0200 | 0x0002, O_RDWR | O_TRUNC},
        {0x0010 | 0x0020 | 0x0080 | 0x1000, O_RDONLY},  // hints and _O_NOINHERIT
    };
    for (const auto& row : table) {
        EXPECT_EQ(CrtOpenFlagsToPosix(row.crt), row.posix | O_CLOEXEC)
            << std::hex << "crt flags 0x" << row.crt;
    }
}

TEST(CrtOpenFlags, RefuseWhatCannotBeHonoured) {
    EXPECT_EQ(CrtOpenFlagsToPosix(0x0003), std::nullopt);           // access mode 3
    EXPECT_EQ(CrtOpenFlagsToPosix(0x0040 | 0x0002), std::nullopt);  // _O_TEMPORARY
    EXPECT_EQ(CrtOpenFlagsToPosix(0x4000 | 0x8000), std::nullopt);  // text and binary
    EXPECT_EQ(CrtOpenFlagsToPosix(0x0200), std::nullopt);           // truncate, read-only
    EXPECT_EQ(CrtOpenFlagsToPosix(0x0200 | 0x0100), std::nullopt);
    EXPECT_EQ(CrtOpenFlagsToPosix(0x10000 | 0x0002), std::nullopt);  // _O_WTEXT
    EXPECT_EQ(CrtOpenFlagsToPosix(0x0004), std::nullopt);
    EXPECT_EQ(CrtOpenFlagsToPosix(0x80000000u), std::nullopt);
}

TEST(CrtPermission, OnlyTheWriteBitMatters) {
    EXPECT_EQ(CrtPermissionToPosix(0x0100 | 0x0080), 0666u);
    EXPECT_EQ(CrtPermissionToPosix(0x0080), 0666u);
    EXPECT_EQ(CrtPermissionToPosix(0x0100), 0444u);
    EXPECT_EQ(CrtPermissionToPosix(0), 0444u);
    EXPECT_EQ(CrtPermissionToPosix(0xFFFF & ~0x0080u), 0444u);
}

// The translated flags behave on a real file as the run time's would: create-exclusive fails on
// an existing file, truncation empties it, and a read-only permission leaves the file without
// write bits.
TEST(CrtOpenFlags, BehaveOnARealFile) {
    ruzd::testing::TempDir dir;
    const std::string path = (dir.path() / "voice.vox").string();
    const mode_t mode = CrtPermissionToPosix(kCrtPermissionRead);

    int fd =
        ::open(path.c_str(), *CrtOpenFlagsToPosix(kCrtCreate | kCrtWriteOnly | kCrtBinary), mode);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "abc", 3), 3);
    EXPECT_EQ(::fcntl(fd, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    ::close(fd);

    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0222, 0u);

    EXPECT_EQ(::open(path.c_str(), *CrtOpenFlagsToPosix(kCrtCreate | kCrtExclusive | kCrtReadWrite),
                     mode),
              -1);
    EXPECT_EQ(errno, EEXIST);

    ASSERT_EQ(::chmod(path.c_str(), CrtPermissionToPosix(kCrtPermissionRead | kCrtPermissionWrite)),
              0);
    fd = ::open(path.c_str(), *CrtOpenFlagsToPosix(kCrtTruncate | kCrtReadWrite));
    ASSERT_GE(fd, 0);
    ::close(fd);
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 0);
}

}  // namespace
}  // namespace ruzd::platform
