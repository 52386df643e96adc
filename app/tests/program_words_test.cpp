// What the node program makes of the words it is started with: help starts nothing (the entry's
// own text in a box, or printed where no window can open; the usage on the terminal), and words
// it takes no notice of are told on stderr while the run goes on.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "platform/registry_store.h"
#include "platform/stop_signals.h"
#include "testing/command_peer.h"
#include "testing/node_program.h"
#include "testing/temp_root.h"
#include "testing/virtual_display.h"

namespace ruzd::app {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

// The entry's own option text (its words: command_line_test.cpp) as a terminal shows it.
const std::string kEntryHelpLines = TerminalLines(EntryHelpText("Pelwix"));
constexpr int kEntryExit = 255;  // the entry's -1 as an exit status

class ProgramWordsTest : public testing::NodeProgramTest {
protected:
    // Runs the node with `words`, which ask for help, and checks that it started nothing: it
    // ended at once with `exitCode`, without a log, a debug folder or a word on stderr. What it
    // printed.
    std::string RunHelp(const std::vector<std::string>& words, int exitCode) {
        const std::string folder = "help-" + std::to_string(++runs_);
        const auto started = std::chrono::steady_clock::now();
        auto node = StartNode(words, folder);
        EXPECT_EQ(node->WaitForExit(), exitCode) << words.front();
        // Well below the start-up wait asked for, and the node's own start-up.
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
        EXPECT_THAT(node->Stderr(), IsEmpty()) << words.front();
        EXPECT_EQ(node->DebugLog(), "");
        EXPECT_FALSE(std::filesystem::exists(work_.path() / folder / "debug"));
        return node->Stdout();
    }

    // No value was written back: the node never came to its registry, nor to its ports.
    void ExpectNothingStarted(const std::string& registry) {
        EXPECT_EQ(testing::ReadWholeFile(platform::RegistryStore::StorePath()), registry);
        EXPECT_FALSE(testing::RawConnection::Connect(command_port_).valid());
        EXPECT_FALSE(testing::RawConnection::Connect(gui_port_).valid());
    }

    int runs_ = 0;
};

TEST_F(ProgramWordsTest, TheUsualHelpWordsPrintTheUsageEndWithZeroAndStartNothing) {
    environment_.Set("DISPLAY", ":77");  // no window is opened, wherever the display is
    const std::string registry = testing::ReadWholeFile(platform::RegistryStore::StorePath());
    for (const std::vector<std::string>& words :
         std::vector<std::vector<std::string>>{{"--help"},
                                               {"-h"},
                                               {"-debug", "-d", "--help"},
                                               {"-service", "-install", "-h"},
                                               {"-sleep:600000", "--help", "-gui"}}) {
        const std::string printed = RunHelp(words, 0);
        EXPECT_THAT(printed, StartsWith("Usage: Pelwix [mode] [options]\n"));
        EXPECT_THAT(printed, HasSubstr("\n  -gui "));
        EXPECT_THAT(printed, HasSubstr("\n  -help, -?               show the program's own"));
    }
    ExpectNothingStarted(registry);
}

TEST_F(ProgramWordsTest, HeadlessTheEntrysHelpIsPrintedLineByLineAndEndsWith255) {
    const std::string registry = testing::ReadWholeFile(platform::RegistryStore::StorePath());
    const std::vector<std::vector<std::string>> asks = {
        {"-help"}, {"-?"}, {"-HELP"}, {"-service", "-help"}, {"-sleep:600000", "-?", "-gui"}};
    // No display, and one that is named but cannot be opened.
    environment_.Unset("DISPLAY");
    environment_.Unset("WAYLAND_DISPLAY");
    for (const std::vector<std::string>& words : asks) {
        EXPECT_EQ(RunHelp(words, kEntryExit), kEntryHelpLines) << words.front();
    }
    environment_.Set("DISPLAY", ":77");
    EXPECT_EQ(RunHelp({"-service", "-help"}, kEntryExit), kEntryHelpLines);
    ExpectNothingStarted(registry);
}

TEST_F(ProgramWordsTest, WithADisplayTheEntrysHelpIsABoxAndEndsWith255) {
    const testing::VirtualDisplay display;
    ASSERT_TRUE(display.ready()) << "Xvfb is needed";
    const std::filesystem::path seam = work_.path() / "seam";
    std::filesystem::create_directories(seam);
    environment_.Set("DISPLAY", display.name());
    environment_.Set("NO_AT_BRIDGE", "1");
    environment_.Set("RUZD_GUI_TEST_DIR", seam.string());
    for (const std::vector<std::string>& words :
         std::vector<std::vector<std::string>>{{"-help"}, {"-service", "-?"}}) {
        std::filesystem::remove(seam / "boxes.txt");
        EXPECT_EQ(RunHelp(words, kEntryExit), "") << words.front();
        EXPECT_EQ(testing::ReadWholeFile(seam / "boxes.txt"), "Pelwix: " + kEntryHelpLines + "\n")
            << words.front();
    }
    // The usage stays on the terminal.
    std::filesystem::remove(seam / "boxes.txt");
    EXPECT_THAT(RunHelp({"--help"}, 0), StartsWith("Usage: Pelwix"));
    EXPECT_FALSE(std::filesystem::exists(seam / "boxes.txt"));
}

TEST_F(ProgramWordsTest, WordsTheProgramDoesNotKnowAreToldAndTheRunGoesOn) {
    auto node = StartNode({"-debug", "-d", "--verbose", "-install", "-w1"});
    testing::CommandPeer peer(command_port_, [&] { return node->HasEnded(); });
    ASSERT_TRUE(peer.IsConnected()) << node->Stderr();
    EXPECT_THAT(node->Stderr(),
                HasSubstr("Pelwix: unknown option \"--verbose\" (ignored; --help lists the "
                          "options)\n"));
    EXPECT_THAT(node->Stderr(),
                HasSubstr("Pelwix: \"-install\" counts only after -service (ignored)\n"));
    EXPECT_THAT(node->Stderr(), Not(HasSubstr("\"-w1\"")));
    node->Signal(platform::SignalNumber(platform::StopSignal::kTerminate));
    EXPECT_TRUE(node->WaitForExit().has_value());
}

}  // namespace
}  // namespace ruzd::app
