// What the node program makes of the words it is started with: help starts nothing, and words it
// takes no notice of are told on stderr while the run goes on.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/registry_store.h"
#include "platform/stop_signals.h"
#include "testing/command_peer.h"
#include "testing/node_program.h"
#include "testing/temp_root.h"

namespace ruzd::app {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

class ProgramWordsTest : public testing::NodeProgramTest {};

TEST_F(ProgramWordsTest, HelpPrintsTheUsageAndStartsNothing) {
    environment_.Set("DISPLAY", ":77");  // no window is opened, wherever the display is
    const std::string registry = testing::ReadWholeFile(platform::RegistryStore::StorePath());
    for (const std::vector<std::string>& words :
         std::vector<std::vector<std::string>>{{"--help"},
                                               {"-h"},
                                               {"-HELP"},
                                               {"-?"},
                                               {"-debug", "-d", "--help"},
                                               {"-service", "-install", "-h"},
                                               {"-sleep:600000", "--help", "-gui"}}) {
        const std::string folder = "help-" + words.back();
        const auto started = std::chrono::steady_clock::now();
        auto node = StartNode(words, folder);
        EXPECT_EQ(node->WaitForExit(), 0) << words.front();
        // Well below the start-up wait asked for, and the node's own start-up.
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
        EXPECT_THAT(node->Stdout(), StartsWith("Usage: Pelwix [mode] [options]\n"));
        EXPECT_THAT(node->Stdout(), HasSubstr("\n  -gui "));
        EXPECT_THAT(node->Stderr(), IsEmpty());
        EXPECT_EQ(node->DebugLog(), "");
        EXPECT_FALSE(std::filesystem::exists(work_.path() / folder / "debug"));
    }
    // No value was written back: the node never came to its registry, nor to its ports.
    EXPECT_EQ(testing::ReadWholeFile(platform::RegistryStore::StorePath()), registry);
    EXPECT_FALSE(testing::RawConnection::Connect(command_port_).valid());
    EXPECT_FALSE(testing::RawConnection::Connect(gui_port_).valid());
}

TEST_F(ProgramWordsTest, WordsTheProgramDoesNotKnowAreToldAndTheRunGoesOn) {
    auto node = StartNode({"-debug", "-d", "--verbose", "-install", "-w1"});
    testing::CommandPeer peer(command_port_, [&] { return node->HasEnded(); });
    ASSERT_TRUE(peer.IsConnected()) << node->Stderr();
    EXPECT_THAT(node->Stderr(),
                HasSubstr("Pelwix: unknown option \"--verbose\" (ignored; -help lists the "
                          "options)\n"));
    EXPECT_THAT(node->Stderr(),
                HasSubstr("Pelwix: \"-install\" counts only after -service (ignored)\n"));
    EXPECT_THAT(node->Stderr(), Not(HasSubstr("\"-w1\"")));
    node->Signal(platform::SignalNumber(platform::StopSignal::kTerminate));
    EXPECT_TRUE(node->WaitForExit().has_value());
}

}  // namespace
}  // namespace ruzd::app
