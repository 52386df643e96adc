// The file map as CNINIT loads it: a real FILEMAP.TXT in the working folder, the lines it logs
// and the rewriting of central and local paths.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/debug_log.h"
#include "node/vesmarin_manager.h"
#include "testing/debug_files.h"
#include "testing/temp_root.h"

namespace ruzd::node {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::Pair;

class FileMapTest : public ::testing::Test {
protected:
    FileMapTest() : previous_folder_(fs::current_path()) {
        fs::current_path(work_.path());
        fs::create_directories(log_folder_);
        foundation::StartDebugLog("C:\\Debug\\Node", 0, true, 0);
    }
    ~FileMapTest() override {
        foundation::StopDebugLog();
        fs::current_path(previous_folder_);
    }

    void WriteFileMap(const std::string& bytes) {
        std::ofstream(work_.path() / "FILEMAP.TXT", std::ios::binary) << bytes;
    }

    // The log's lines so far (the log is stopped to have them all on disk).
    std::vector<std::string> LogLines() {
        foundation::StopDebugLog();
        return ruzd::testing::DebugLines(log_folder_);
    }

    const fs::path previous_folder_;
    ruzd::testing::TempRoot root_;
    ruzd::testing::TempDir work_;
    const fs::path log_folder_ = root_.path() / "drives" / "c" / "Debug";
    CVesmarinManager manager_{ManagerSettings{}};
};

TEST_F(FileMapTest, TwoFieldLineWithACommentMapsACentralPath) {
    WriteFileMap("C:\\VOX D:\\VOX # the prompts\r\n");
    manager_.LoadFileMap();

    std::string path = "c:\\vox\\a.vox";
    EXPECT_TRUE(manager_.FileMapping(path));
    EXPECT_EQ(path, "D:\\VOX\\A.VOX");

    const auto lines = LogLines();
    EXPECT_THAT(lines, Contains(AllOf(HasSubstr(":--"), EndsWith("File mapping 'C:\\VOX' --> "
                                                                 "'D:\\VOX'"))));
    EXPECT_THAT(lines, Contains(EndsWith("Conversion maps initialized")));
    EXPECT_THAT(lines, Not(Contains(HasSubstr("Error FILEMAP.TXT"))));
    // The lookup's scope names the path it was given and ends with the rewritten one.
    EXPECT_THAT(lines, Contains(AllOf(HasSubstr("FileMapping"), HasSubstr("c:\\vox\\a.vox"))));
    EXPECT_THAT(lines, Contains(AllOf(HasSubstr("FileMapping"), EndsWith("D:\\VOX\\A.VOX"))));
}

TEST_F(FileMapTest, EveryLineThatIsNotExactlyTwoFieldsIsAnErrorLine) {
    WriteFileMap(
        "ONLY-ONE\n"               // 1: one field
        "A B C\n"                  // 2: three fields
        "\n"                       // 3: empty
        "   # nothing but this\n"  // 4: comment only
        "\t \r\n"                  // 5: blanks only
        "X:\\IN Y:\\OUT\n"         // 6: the one mapping
        "P:\\A Q:\\B#R:\\C");      // 7: a comment glued to the second field, no line end
    manager_.LoadFileMap();

    EXPECT_THAT(manager_.FileMapEntries(),
                ElementsAre(Pair("P:\\A", "Q:\\B"), Pair("X:\\IN", "Y:\\OUT")));
    const auto lines = LogLines();
    for (int number : {1, 2, 3, 4, 5}) {
        EXPECT_THAT(lines, Contains(EndsWith("Error FILEMAP.TXT line " + std::to_string(number))))
            << number;
    }
    EXPECT_THAT(lines, Not(Contains(EndsWith("Error FILEMAP.TXT line 6"))));
    EXPECT_THAT(lines, Not(Contains(EndsWith("Error FILEMAP.TXT line 7"))));
    EXPECT_THAT(lines, Not(Contains(EndsWith("Error FILEMAP.TXT line 8"))));
}

TEST_F(FileMapTest, TheFirstLineOfAPrefixStays) {
    WriteFileMap("c:\\vox d:\\first\nC:\\VOX E:\\SECOND\n");
    manager_.LoadFileMap();

    std::string path = "C:\\VOX\\B.VOX";
    EXPECT_TRUE(manager_.FileMapping(path));
    EXPECT_EQ(path, "D:\\FIRST\\B.VOX");
    // The second line is logged as a mapping all the same.
    EXPECT_THAT(LogLines(), Contains(EndsWith("File mapping 'C:\\VOX' --> 'E:\\SECOND'")));
}

TEST_F(FileMapTest, TheShortestMatchingPrefixWins) {
    WriteFileMap("C:\\VOX\\NL N:\\DUTCH\nC:\\VOX V:\\ALL\n");
    manager_.LoadFileMap();

    std::string path = "c:\\vox\\nl\\a.vox";
    EXPECT_TRUE(manager_.FileMapping(path));
    EXPECT_EQ(path, "V:\\ALL\\NL\\A.VOX");
}

TEST_F(FileMapTest, AnUnmatchedPathComesBackUpperCased) {
    WriteFileMap("C:\\VOX D:\\VOX\n");
    manager_.LoadFileMap();

    std::string path = "e:\\other\\a.vox";
    EXPECT_FALSE(manager_.FileMapping(path));
    EXPECT_EQ(path, "E:\\OTHER\\A.VOX");
    // A path shorter than the prefix does not match it.
    path = "c:\\vo";
    EXPECT_FALSE(manager_.FileMapping(path));
    EXPECT_EQ(path, "C:\\VO");
}

TEST_F(FileMapTest, ReverseMappingTurnsALocalPathBackIntoTheCentralOne) {
    WriteFileMap("C:\\VOX D:\\LOCAL\n\\\\SERVER\\SHARE\\ E:\\\n");
    manager_.LoadFileMap();

    std::string path = "d:\\local\\rec\\1.wav";
    manager_.ReverseFileMapping(path);
    EXPECT_EQ(path, "C:\\VOX\\REC\\1.WAV");
    path = "e:\\x.wav";
    manager_.ReverseFileMapping(path);
    EXPECT_EQ(path, "\\\\SERVER\\SHARE\\X.WAV");
    path = "f:\\none.wav";
    manager_.ReverseFileMapping(path);
    EXPECT_EQ(path, "F:\\NONE.WAV");
}

TEST_F(FileMapTest, ASecondLoadStartsFromAnEmptyMap) {
    WriteFileMap("C:\\OLD D:\\OLD\n");
    manager_.LoadFileMap();
    WriteFileMap("C:\\NEW D:\\NEW\n");
    manager_.LoadFileMap();

    EXPECT_THAT(manager_.FileMapEntries(), ElementsAre(Pair("C:\\NEW", "D:\\NEW")));
}

TEST_F(FileMapTest, AMissingFileWarnsAndLeavesTheMapEmpty) {
    WriteFileMap("C:\\OLD D:\\OLD\n");
    manager_.LoadFileMap();
    fs::remove(work_.path() / "FILEMAP.TXT");
    manager_.LoadFileMap();

    EXPECT_THAT(manager_.FileMapEntries(), IsEmpty());
    std::string path = "c:\\old\\a.vox";
    EXPECT_FALSE(manager_.FileMapping(path));
    const auto lines = LogLines();
    EXPECT_THAT(lines,
                Contains(EndsWith("WARNING: FileMap.txt not found. No fileconversion used")));
}

TEST_F(FileMapTest, TheFileIsFoundWhateverTheCaseOfItsName) {
    std::ofstream(work_.path() / "FileMap.txt") << "C:\\VOX D:\\VOX\n";
    manager_.LoadFileMap();
    EXPECT_THAT(manager_.FileMapEntries(), ElementsAre(Pair("C:\\VOX", "D:\\VOX")));
}

TEST_F(FileMapTest, ALongLineIsOneLineAndAnOverlongPrefixMakesItAnErrorLine) {
    const std::string longCentral = "C:\\" + std::string(200, 'L');
    const std::string tooLong = "C:\\" + std::string(257, 'T');  // 260 characters
    WriteFileMap(longCentral + " D:\\L\n" + tooLong + " D:\\T\n");
    manager_.LoadFileMap();

    EXPECT_THAT(manager_.FileMapEntries(), ElementsAre(Pair(longCentral, "D:\\L")));
    const auto lines = LogLines();
    EXPECT_THAT(lines, Contains(EndsWith("Error FILEMAP.TXT line 2")));
    EXPECT_THAT(lines, Not(Contains(EndsWith("Error FILEMAP.TXT line 3"))));
}

TEST_F(FileMapTest, ForgettingTheDeviceTablesEmptiesTheMap) {
    WriteFileMap("C:\\VOX D:\\VOX\n");
    manager_.LoadFileMap();
    manager_.ForgetDeviceTables();
    EXPECT_THAT(manager_.FileMapEntries(), IsEmpty());
}

TEST_F(FileMapTest, WindowsTextIsReadAsTheAnsiCodePage) {
    // "Ä" in the ANSI code page; upper-casing leaves letters beyond ASCII as they are.
    WriteFileMap("C:\\\xC4rger d:\\\xE4\n");
    manager_.LoadFileMap();
    EXPECT_THAT(manager_.FileMapEntries(), ElementsAre(Pair("C:\\\u00C4RGER", "D:\\\u00E4")));
}

}  // namespace
}  // namespace ruzd::node
