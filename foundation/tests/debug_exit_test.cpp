#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/child_process.h"
#include "platform/text.h"
#include "testing/child_program.h"
#include "testing/temp_root.h"

namespace ruzd::foundation {
namespace {

TEST(DebugLogAtExit, ProgramThatNeverStopsTheLogStillWritesEveryLineAndEnds) {
    testing::TempRoot root;
    const std::filesystem::path folder = root.path() / "drives" / "c" / "Debug";
    std::filesystem::create_directories(folder);

    const pid_t pid =
        testing::StartProgram({.program = testing::ProgramFolder() / "foundation_debug_exit_child",
                               .arguments = {"3000"}});
    ASSERT_GT(pid, 0);
    platform::ChildProcess child(pid);
    ASSERT_EQ(child.ended().Wait(30000), platform::kWaitObject0) << "the program hangs at exit";
    EXPECT_EQ(child.ExitCode(), 0);

    std::string content;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        content.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    EXPECT_NE(content.find(" line 0\r\n"), std::string::npos);
    EXPECT_NE(content.find(" line 2999\r\n"), std::string::npos);
    const size_t closed = content.rfind("Log file closed\r\n");
    ASSERT_NE(closed, std::string::npos);
    EXPECT_EQ(closed + 17, content.size());
}

}  // namespace
}  // namespace ruzd::foundation
