#include "platform/crt_file.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/crt_flags.h"
#include "platform/win_error.h"
#include "platform/win_path.h"
#include "testing/temp_root.h"

namespace ruzd::platform {
namespace {

mode_t ModeOf(const std::string& windows_path) {
    struct stat info {};
    EXPECT_EQ(::stat(MapWindowsPath(windows_path).c_str(), &info), 0);
    return info.st_mode & 0777;
}

TEST(CrtFile, WindowsPathsFlagsAndTheReadOnlyAttribute) {
    ruzd::testing::TempRoot root;
    std::filesystem::create_directories(MapWindowsPath("C:\\Vox"));
    const int32_t file = CrtOpen("c:\\VOX\\A.vox", kCrtCreate | kCrtReadWrite | kCrtBinary,
                                 kCrtPermissionRead | kCrtPermissionWrite);
    ASSERT_GE(file, 0);
    EXPECT_EQ(CrtWrite(file, "abcdef", 6), 6);
    EXPECT_EQ(CrtLseek(file, 2, SEEK_SET), 2);
    char read[4] = {};
    EXPECT_EQ(CrtRead(file, read, 4), 4);
    EXPECT_EQ(std::string(read, 4), "cdef");
    EXPECT_EQ(CrtClose(file), 0);
    EXPECT_TRUE(std::filesystem::exists(root.path() / "drives" / "c" / "Vox" / "A.vox"));

    ASSERT_EQ(CrtChmod("C:\\Vox\\A.vox", kCrtPermissionRead), 0);
    EXPECT_EQ(ModeOf("C:\\Vox\\A.vox") & 0222, 0u);
    ASSERT_EQ(CrtChmod("C:\\Vox\\A.vox", kCrtPermissionRead | kCrtPermissionWrite), 0);
    EXPECT_EQ(ModeOf("C:\\Vox\\A.vox") & 0200, 0200u);

    EXPECT_EQ(CrtOpen("C:\\Vox\\MISSING.VOX", kCrtReadOnly, 0), -1);
    EXPECT_EQ(GetLastError(), kErrorFileNotFound);
    EXPECT_EQ(CrtChmod("C:\\Vox\\MISSING.VOX", kCrtPermissionRead), -1);
    EXPECT_EQ(CrtOpen("C:\\Vox\\A.vox", kCrtTemporary | kCrtReadWrite, 0), -1);
    EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
    EXPECT_EQ(CrtClose(file), -1) << "closed already";
}

}  // namespace
}  // namespace ruzd::platform
