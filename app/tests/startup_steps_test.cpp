#include "app/startup_steps.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/win_path.h"
#include "testing/temp_root.h"

namespace ruzd::app {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

// Restores the test program's current directory.
class CurrentDirectoryGuard {
public:
    CurrentDirectoryGuard() : saved_(fs::current_path()) {}
    ~CurrentDirectoryGuard() { fs::current_path(saved_); }

private:
    fs::path saved_;
};

TEST(RunStartupSteps, InCommandLineOrder) {
    std::vector<std::string> done;
    StartupEffects effects;
    effects.enterFolder = [&](const std::string& folder) {
        done.push_back("enter " + folder);
        return folder != "C:\\missing";
    };
    effects.sleep = [&](uint32_t ms) { done.push_back("sleep " + std::to_string(ms)); };

    const EntryOptions options = ParseEntryCommandLine(
        "-workingdir:C:\\missing -sleep:x -debug -workingdir:C:\\Ruzd -sleep:-5 -sleep:250");
    RunStartupSteps(options.steps, effects);
    // A folder that cannot be entered is passed over and the steps go on.
    EXPECT_THAT(done, ElementsAre("enter C:\\missing", "sleep 15000", "enter C:\\Ruzd", "sleep 0",
                                  "sleep 250"));
}

TEST(EnterWorkingFolder, EntersAWindowsFolder) {
    testing::TempRoot root;
    CurrentDirectoryGuard guard;
    const fs::path folder = platform::MapWindowsPath("C:\\Ruzd\\Pelwix Node");
    fs::create_directories(folder);

    EXPECT_TRUE(EnterWorkingFolder("C:\\Ruzd\\Pelwix Node"));
    EXPECT_EQ(fs::current_path(), fs::canonical(folder));
    // Relative to where the program now stands.
    fs::create_directories(folder / "sub");
    EXPECT_TRUE(EnterWorkingFolder("sub"));
    EXPECT_EQ(fs::current_path(), fs::canonical(folder / "sub"));
}

TEST(EnterWorkingFolder, FolderThatCannotBeEnteredLeavesTheCurrentOne) {
    testing::TempRoot root;
    CurrentDirectoryGuard guard;
    const fs::path before = fs::current_path();
    EXPECT_FALSE(EnterWorkingFolder("C:\\does\\not\\exist"));
    EXPECT_FALSE(EnterWorkingFolder(""));
    EXPECT_FALSE(EnterWorkingFolder("\\\\.\\Watchdog"));
    EXPECT_EQ(fs::current_path(), before);
}

TEST(SystemStartupEffects, EntersTheFolderAndSleepsZero) {
    testing::TempRoot root;
    CurrentDirectoryGuard guard;
    const fs::path folder = platform::MapWindowsPath("C:\\Node");
    fs::create_directories(folder);
    RunStartupSteps(ParseEntryCommandLine("-sleep:-1 -workingdir:C:\\Node").steps,
                    SystemStartupEffects());
    EXPECT_EQ(fs::current_path(), fs::canonical(folder));
}

}  // namespace
}  // namespace ruzd::app
