#include "platform/win_path.h"

#include <unistd.h>

#include <fstream>

#include <gtest/gtest.h>

#include "testing/temp_root.h"

namespace ruzd::platform {
namespace {
namespace fs = std::filesystem;

void Touch(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "x";
}

// Each test gets its own platform root and its own working folder.
class WinPathTest : public ::testing::Test {
protected:
    WinPathTest() : previous_working_folder_(fs::current_path()) { fs::current_path(work_.path()); }
    ~WinPathTest() override { fs::current_path(previous_working_folder_); }

    fs::path Drive(char letter) const { return root_.path() / "drives" / std::string(1, letter); }
    fs::path Unc() const { return root_.path() / "unc"; }

    ruzd::testing::TempRoot root_;
    ruzd::testing::TempDir work_;
    fs::path previous_working_folder_;
};

TEST_F(WinPathTest, DriveLettersMapToLowerCaseDriveFoldersCreatedOnDemand) {
    EXPECT_FALSE(fs::exists(Drive('c')));
    EXPECT_EQ(MapWindowsPath("C:\\Vox\\a.vox"), Drive('c') / "Vox" / "a.vox");
    EXPECT_TRUE(fs::is_directory(Drive('c')));
    EXPECT_EQ(MapWindowsPath("c:\\Vox\\a.vox"), Drive('c') / "Vox" / "a.vox");
    EXPECT_EQ(MapWindowsPath("D:/logs//x.txt"), Drive('d') / "logs" / "x.txt");
    EXPECT_EQ(MapWindowsPath("E:\\"), Drive('e'));
}

TEST_F(WinPathTest, ExistingComponentsAreFoundWhateverTheirCase) {
    Touch(Drive('c') / "Voice" / "NL" / "Welcome.VOX");
    EXPECT_EQ(MapWindowsPath("C:\\VOICE\\nl\\welcome.vox"),
              Drive('c') / "Voice" / "NL" / "Welcome.VOX");
    // From the first missing component on, the caller's spelling is kept.
    EXPECT_EQ(MapWindowsPath("c:\\voice\\New\\Sub\\File.vox"),
              Drive('c') / "Voice" / "New" / "Sub" / "File.vox");
    EXPECT_EQ(MapWindowsPath("c:\\voice\\nl\\Other.vox"),
              Drive('c') / "Voice" / "NL" / "Other.vox");
}

TEST_F(WinPathTest, AccentedLettersOfTheCodePageFoldToo) {
    Touch(Drive('c') / "\xC3\x89t\xC3\xA9" /
          "\xC5\xA0"
          "a.vox");  // "Été/Ša.vox"
    EXPECT_EQ(MapWindowsPath("C:\\\xC3\xA9T\xC3\x89\\\xC5\xA1"
                             "A.VOX"),
              Drive('c') / "\xC3\x89t\xC3\xA9" /
                  "\xC5\xA0"
                  "a.vox");
    EXPECT_EQ(FoldWindowsNameCase("\xC3\xBF"), FoldWindowsNameCase("\xC5\xB8"));  // ÿ and Ÿ
    EXPECT_NE(FoldWindowsNameCase("\xC3\xB7"), FoldWindowsNameCase("\xC3\x97"));  // ÷ and ×
    EXPECT_NE(FoldWindowsNameCase("a\xFF"), FoldWindowsNameCase("a\xFE"));        // raw bytes
}

TEST_F(WinPathTest, TheExactSpellingWinsOverOtherCases) {
    Touch(Drive('c') / "abc" / "lower.txt");
    Touch(Drive('c') / "ABC" / "upper.txt");
    EXPECT_EQ(MapWindowsPath("C:\\abc"), Drive('c') / "abc");
    EXPECT_EQ(MapWindowsPath("C:\\ABC"), Drive('c') / "ABC");
    EXPECT_EQ(MapWindowsPath("C:\\Abc"), Drive('c') / "ABC");  // first match in byte order
}

TEST_F(WinPathTest, DotDotNeverClimbsAboveTheDriveRoot) {
    EXPECT_EQ(MapWindowsPath("C:\\..\\..\\etc\\passwd"), Drive('c') / "etc" / "passwd");
    EXPECT_EQ(MapWindowsPath("C:\\a\\.\\b\\..\\c"), Drive('c') / "a" / "c");
    EXPECT_EQ(MapWindowsPath("\\\\srv\\share\\..\\..\\x"), Unc() / "srv" / "share" / "x");
}

TEST_F(WinPathTest, UncPathsMapBelowTheUncFolder) {
    EXPECT_EQ(MapWindowsPath("\\\\Server\\Share\\dir\\f.txt"),
              Unc() / "Server" / "Share" / "dir" / "f.txt");
    fs::create_directories(Unc() / "fileserver" / "voice");
    EXPECT_EQ(MapWindowsPath("\\\\FILESERVER\\Voice\\x.vox"),
              Unc() / "fileserver" / "voice" / "x.vox");
    EXPECT_EQ(MapWindowsPath("//srv/share"), Unc() / "srv" / "share");
}

TEST_F(WinPathTest, MalformedAndDevicePathsMapToNothing) {
    EXPECT_EQ(MapWindowsPath("\\\\srv"), fs::path());
    EXPECT_EQ(MapWindowsPath("\\\\srv\\"), fs::path());
    EXPECT_EQ(MapWindowsPath("\\\\..\\share\\x"), fs::path());
    EXPECT_EQ(MapWindowsPath("\\\\srv\\..\\x"), fs::path());
    EXPECT_EQ(MapWindowsPath("\\\\.\\Watchdog"), fs::path());
    EXPECT_EQ(MapWindowsPath(std::string_view("C:\\a\0\\..\\..\\b", 12)), fs::path());
}

TEST_F(WinPathTest, ExtendedLengthPrefixIsDropped) {
    EXPECT_EQ(MapWindowsPath("\\\\?\\C:\\x\\y"), Drive('c') / "x" / "y");
    EXPECT_EQ(MapWindowsPath("\\\\?\\UNC\\srv\\share\\x"), Unc() / "srv" / "share" / "x");
}

TEST_F(WinPathTest, RelativePathsStartAtTheWorkingFolder) {
    const fs::path working = fs::current_path();
    EXPECT_EQ(MapWindowsPath(".\\FileCache\\a.vox"), working / "FileCache" / "a.vox");
    EXPECT_EQ(MapWindowsPath("FileCache\\a.vox"), working / "FileCache" / "a.vox");
    fs::create_directory(working / "filecache");
    EXPECT_EQ(MapWindowsPath(".\\FileCache\\a.vox"), working / "filecache" / "a.vox");
    // Outside the drives a relative name never leaves the working folder.
    EXPECT_EQ(MapWindowsPath("..\\x"), working / "x");
    EXPECT_EQ(MapWindowsPath(".\\FileCache\\..\\..\\..\\etc\\passwd"), working / "etc" / "passwd");
    EXPECT_EQ(MapWindowsPath(""), working);
}

TEST_F(WinPathTest, RootedAndDriveRelativePathsFollowTheWorkingDrive) {
    // Outside the drives, the current drive is C:.
    EXPECT_EQ(MapWindowsPath("\\Ruzd\\Logging"), Drive('c') / "Ruzd" / "Logging");
    EXPECT_EQ(MapWindowsPath("D:x"), Drive('d') / "x");

    fs::create_directories(Drive('d') / "Work");
    fs::current_path(Drive('d') / "Work");
    EXPECT_EQ(MapWindowsPath("\\x"), Drive('d') / "x");
    EXPECT_EQ(MapWindowsPath("d:y"), Drive('d') / "Work" / "y");
    EXPECT_EQ(MapWindowsPath("D:..\\..\\y"), Drive('d') / "y");
    EXPECT_EQ(MapWindowsPath("..\\..\\y"), Drive('d') / "y");
    EXPECT_EQ(MapWindowsPath(".\\z"), Drive('d') / "Work" / "z");
    EXPECT_EQ(MapWindowsPath("E:y"), Drive('e') / "y");
}

TEST_F(WinPathTest, HostPathsOnTheDrivesAndSharesHaveTheirWindowsPath) {
    fs::create_directories(Drive('d') / "Work" / "debug");
    EXPECT_EQ(WindowsPathOf(Drive('d') / "Work" / "debug"), "D:\\Work\\debug");
    EXPECT_EQ(WindowsPathOf(Drive('c')), "C:\\");
    EXPECT_EQ(WindowsPathOf(Unc() / "srv" / "share" / "x.txt"), "\\\\srv\\share\\x.txt");
    // Each maps back to the same folder, whatever the working folder.
    fs::current_path(Drive('d') / "Work");
    EXPECT_EQ(MapWindowsPath(*WindowsPathOf(Drive('d') / "Work" / "debug")),
              Drive('d') / "Work" / "debug");
    // Elsewhere no Windows path names a folder but relative to a working folder.
    EXPECT_EQ(WindowsPathOf(work_.path()), std::nullopt);
    EXPECT_EQ(WindowsPathOf(root_.path() / "node"), std::nullopt);
    EXPECT_EQ(WindowsPathOf(Unc() / "srv"), std::nullopt);
    EXPECT_EQ(WindowsPathOf(root_.path() / "drives" / "cd" / "x"), std::nullopt);
}

TEST_F(WinPathTest, ContainedMappingStaysInsideTheBase) {
    const fs::path base = work_.path() / "FileCache";
    Touch(base / "Voice" / "Hello.vox");
    EXPECT_EQ(MapWindowsPathWithin(base, "voice\\HELLO.VOX"), base / "Voice" / "Hello.vox");
    EXPECT_EQ(MapWindowsPathWithin(base, ".\\new\\b.vox"), base / "new" / "b.vox");
    EXPECT_EQ(MapWindowsPathWithin(base, "a//b"), base / "a" / "b");
}

TEST_F(WinPathTest, ContainedMappingRefusesEveryWayOut) {
    const fs::path base = work_.path() / "FileCache";
    for (std::string_view refused : {
             "..\\secret",
             "a\\..\\..\\secret",
             "a\\..\\b",
             "..",
             "a/../b",
             "\\etc\\passwd",
             "/etc/passwd",
             "C:\\x",
             "C:x",
             "\\\\srv\\share\\x",
             "//srv/share/x",
             "a.vox:stream",
         }) {
        EXPECT_EQ(MapWindowsPathWithin(base, refused), std::nullopt) << refused;
    }
    EXPECT_EQ(MapWindowsPathWithin(base, std::string_view("a\0b", 3)), std::nullopt);
}

TEST(WinPathText, JoinUsesExactlyOneSeparator) {
    EXPECT_EQ(JoinWindowsPath("C:\\Vox", "a.vox"), "C:\\Vox\\a.vox");
    EXPECT_EQ(JoinWindowsPath("C:\\Vox\\", "a.vox"), "C:\\Vox\\a.vox");
    EXPECT_EQ(JoinWindowsPath("C:\\Vox\\\\", "\\\\sub\\a.vox"), "C:\\Vox\\sub\\a.vox");
    EXPECT_EQ(JoinWindowsPath("C:/Vox/", "/a.vox"), "C:/Vox\\a.vox");
    EXPECT_EQ(JoinWindowsPath("C:", "a.vox"), "C:\\a.vox");
    EXPECT_EQ(JoinWindowsPath("", "a.vox"), "a.vox");
    EXPECT_EQ(JoinWindowsPath("C:\\Vox", ""), "C:\\Vox");
}

TEST(WinPathText, FileNameAndFolder) {
    const struct {
        const char* path;
        const char* folder;
        const char* file;
    } table[] = {
        {"C:\\Vox\\a.vox", "C:\\Vox", "a.vox"},
        {"C:\\Vox\\\\a.vox", "C:\\Vox", "a.vox"},
        {"C:\\a.vox", "C:\\", "a.vox"},
        {"C:a.vox", "C:", "a.vox"},
        {"\\a.vox", "\\", "a.vox"},
        {"a.vox", "", "a.vox"},
        {"C:\\Vox\\", "C:\\Vox", ""},
        {"\\\\srv\\share\\a.vox", "\\\\srv\\share", "a.vox"},
        {"dir/sub/a.vox", "dir/sub", "a.vox"},
        {"", "", ""},
    };
    for (const auto& row : table) {
        EXPECT_EQ(WindowsFolder(row.path), row.folder) << row.path;
        EXPECT_EQ(WindowsFileName(row.path), row.file) << row.path;
    }
}

}  // namespace
}  // namespace ruzd::platform
