#include "foundation/program_runner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "foundation/utilities.h"
#include "platform/win_error.h"
#include "platform/win_path.h"
#include "testing/os_for_tests.h"
#include "testing/temp_root.h"

namespace ruzd::foundation {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

std::string Child() {
    return std::string("\"") + RUZD_TEST_BIN_DIR + "/foundation_runner_child\"";
}

int RunChild(const std::string& command_line, std::string& output,
             uint32_t timeout_ms = kRunNoTimeout, const std::string& folder = {}) {
    return CUtilities::RunProgramAndCaptureOutput(command_line, folder, output, timeout_ms);
}

// A killed process takes a moment to go; no claim about how long beyond "it ends".
bool EndsSoon(int32_t pid) {
    for (int i = 0; i < 500; ++i) {
        if (testing::ProcessHasEnded(pid)) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

TEST(ProgramRunner, ReturnsTheExitCode) {
    std::string output = "left over";
    EXPECT_EQ(RunChild(Child() + " exit 0", output), 0);
    EXPECT_EQ(output, "");
    EXPECT_EQ(RunChild(Child() + " exit 3", output), 3);
    EXPECT_EQ(RunChild(Child() + " exit 255", output), 255);
    // Exit statuses have eight bits: 259 arrives as 3, never as a failure code.
    EXPECT_EQ(RunChild("sh -c \"exit 259\"", output), 3);
}

TEST(ProgramRunner, AChildThatEndsAtOnceGivesEmptyOutput) {
    std::string output = "stale";
    EXPECT_EQ(RunChild("true", output), 0);
    EXPECT_EQ(output, "");
}

TEST(ProgramRunner, CollectsStandardOutputAndErrorInTheOrderWritten) {
    std::string output;
    EXPECT_EQ(RunChild("sh -c \"echo one; echo two >&2; echo three; exit 4\"", output), 4);
    EXPECT_EQ(output, "one\ntwo\nthree\n");
}

TEST(ProgramRunner, LosesNothingOfOutputLargerThanThePipe) {
    std::string output;
    ASSERT_EQ(RunChild("seq 1 100000", output), 0);
    std::string expected;
    for (int i = 1; i <= 100000; ++i) {
        expected += std::to_string(i) + "\n";
    }
    EXPECT_EQ(output, expected);
}

TEST(ProgramRunner, ASignalEndingTheChildGivesNoExitCode) {
    std::string output;
    EXPECT_EQ(RunChild("sh -c \"echo before; kill -KILL $$\"", output), kRunNoExitCode);
    EXPECT_EQ(output, "before\n");
    EXPECT_EQ(RunChild("sh -c \"kill -TERM $$\"", output), kRunNoExitCode);
}

TEST(ProgramRunner, ATimeOutOfZeroAlwaysTimesOut) {
    std::string output;
    EXPECT_EQ(RunChild("true", output, 0), kRunTimedOut);
    EXPECT_EQ(RunChild(Child() + " exit 0", output, 0), kRunTimedOut);
}

TEST(ProgramRunner, ATimeOutEndsTheChildAndWhatItStartedAndKeepsTheOutput) {
    std::string output;
    ASSERT_EQ(RunChild("sh -c \"sleep 1000 & echo $!; wait\"", output, 1000), kRunTimedOut);
    const int32_t grandchild = static_cast<int32_t>(std::stol(output));
    ASSERT_GT(grandchild, 0);
    EXPECT_TRUE(EndsSoon(grandchild));
}

TEST(ProgramRunner, WhatTheChildLeftRunningEndsWithTheRun) {
    std::string output;
    ASSERT_EQ(RunChild("sh -c \"sleep 1000 & echo $!\"", output), 0);
    const int32_t grandchild = static_cast<int32_t>(std::stol(output));
    ASSERT_GT(grandchild, 0);
    EXPECT_TRUE(EndsSoon(grandchild));
}

TEST(ProgramRunner, AChildThatNeverStopsWritingIsStillEndedAtItsTimeOut) {
    std::string output;
    EXPECT_EQ(RunChild("sh -c \"while :; do echo 0123456789; done\"", output, 500), kRunTimedOut);
    EXPECT_THAT(output, StartsWith("0123456789\n0123456789\n"));
}

TEST(ProgramRunner, AStartThatFailsIsReported) {
    std::string output = "stale";
    EXPECT_EQ(RunChild("no-such-program-anywhere", output), kRunStartFailed);
    EXPECT_EQ(output, "");
    EXPECT_EQ(platform::GetLastError(), platform::kErrorFileNotFound);
    EXPECT_EQ(RunChild("/nonexistent/folder/program", output), kRunStartFailed);
    EXPECT_EQ(RunChild("", output), kRunStartFailed);
    EXPECT_EQ(RunChild("   ", output), kRunStartFailed);
    EXPECT_EQ(RunChild("true", output, kRunNoTimeout, R"(C:\No\Such\Folder)"), kRunStartFailed);
}

TEST(ProgramRunner, AnEmptyWorkingFolderIsTheCallersAndAnotherIsUsed) {
    std::string output;
    ASSERT_EQ(RunChild(Child() + " cwd", output), 0);
    EXPECT_EQ(std::filesystem::path(output), std::filesystem::current_path());

    // Working folders come in Windows form, as from the registry.
    ruzd::testing::TempRoot root;
    const std::filesystem::path folder = platform::MapWindowsPath(R"(C:\Work\Area)");
    std::filesystem::create_directories(folder);
    ASSERT_EQ(RunChild(Child() + " cwd", output, kRunNoTimeout, R"(C:\Work\Area)"), 0);
    EXPECT_EQ(std::filesystem::path(output), std::filesystem::canonical(folder));
}

TEST(ProgramRunner, SplitsTheCommandLineAsWindowsProgramsDo) {
    std::string output;
    ASSERT_EQ(RunChild(Child() + R"( args plain "two words" a\\b tail\\\"q "x""y "" end)", output),
              0);
    EXPECT_EQ(output, "[plain]\n[two words]\n[a\\\\b]\n[tail\\\"q]\n[x\"y]\n[]\n[end]\n");
}

TEST(ProgramRunner, AFirstChunkInUtf16MakesTheWholeOutputUtf16) {
    std::string output;
    // "Hi" in UTF-16LE, then two ANSI letters that read as one UTF-16 character (U+4241).
    ASSERT_EQ(RunChild(Child() + " write 48006900 4142", output), 0);
    EXPECT_EQ(output, "Hi\xE4\x89\x81");
    ASSERT_EQ(RunChild(Child() + " write FFFE4F004B00", output), 0);
    EXPECT_EQ(output, "OK");
}

TEST(ProgramRunner, AnsiOutputIsReadAsWindows1252) {
    std::string output;
    ASSERT_EQ(RunChild(Child() + " write 436166E9 80", output), 0);
    EXPECT_EQ(output, "Caf\xC3\xA9\xE2\x82\xAC");
}

TEST(ProgramRunner, RunsItsOwnProgram) {
    std::string output;
    ASSERT_EQ(CUtilities::RunSelfAndCaptureOutput(
                  "--gtest_list_tests --gtest_filter=ProgramRunner.RunsItsOwnProgram", output,
                  kRunNoTimeout),
              0);
    EXPECT_THAT(output, HasSubstr("RunsItsOwnProgram"));
}

}  // namespace
}  // namespace ruzd::foundation
