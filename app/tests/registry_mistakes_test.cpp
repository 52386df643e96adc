// The node program on a registry file with a slip of the keyboard and a value of the wrong type
// under its key: each is told once, on stderr and in the debug log, naming the file's line, and
// the file stays byte for byte as its author wrote it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/registry_store.h"
#include "platform/stop_signals.h"
#include "testing/command_peer.h"
#include "testing/node_program.h"
#include "testing/temp_root.h"

namespace ruzd::app {
namespace {

using ::testing::HasSubstr;

class RegistryMistakesTest : public testing::NodeProgramTest {
protected:
    // Runs the node until it has read what it reads at start-up (its ports, the window link's,
    // the debug settings) and stops it. With `past_delay` it runs on until it takes commands.
    std::unique_ptr<testing::NodeProcess> RunUntilStarted(const std::string& folder,
                                                          bool past_delay) {
        auto node = StartNode({"-debug", "-d"}, folder);
        testing::CommandPeer peer(command_port_, [&] { return node->HasEnded(); });
        EXPECT_TRUE(peer.IsConnected()) << node->Stderr();
        EXPECT_TRUE(node->WaitForLog("Local TCP port set to: " + std::to_string(gui_port_)));
        if (past_delay) {
            EXPECT_TRUE(peer.AwaitCommandsAccepted());
        }
        node->Signal(platform::SignalNumber(platform::StopSignal::kTerminate));
        EXPECT_TRUE(node->WaitForExit().has_value());
        return node;
    }

    static size_t Count(const std::string& text, const std::string& part) {
        size_t count = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
            ++count;
        }
        return count;
    }
};

TEST_F(RegistryMistakesTest, SlipsAndWrongTypesAreToldOnceAndTheFileStaysAsWritten) {
    // A first run writes back every default the node reads as it starts, so that the second has
    // nothing missing to write.
    RunUntilStarted("first", true);
    const std::string path = platform::RegistryStore::StorePath().string();
    std::string file = testing::ReadWholeFile(path);
    const std::string key = "[HKEY_LOCAL_MACHINE\\Software\\Ruzd\\Pelwix]\n";
    const std::string folderBound = "\"Debug Folder Max MB\"=dword:00000400\n";
    ASSERT_NE(file.find(key), std::string::npos) << file;
    ASSERT_NE(file.find(folderBound), std::string::npos) << file;
    file.replace(file.find(folderBound), folderBound.size(), "\"Debug Folder Max MB\"=\"512\"\n");
    file.insert(file.find(key) + key.size(), "\"Local TCP prot\"=dword:00002328\n");
    {
        std::ofstream out(path, std::ios::binary);
        out << file;
    }
    const auto lineOf = [&file](const std::string& start) {
        const size_t at = file.find(start);
        return std::to_string(Count(file.substr(0, at), "\n") + 1);
    };
    const std::string slip = "registry file " + path + ", line " + lineOf("\"Local TCP prot\"") +
                             ": \"Local TCP prot\" is no value Pelwix knows; did you mean "
                             "\"Local TCP port\"? The line is ignored";
    const std::string wrongType =
        "registry file " + path + ", line " + lineOf("\"Debug Folder Max MB\"") +
        ": \"Debug Folder Max MB\" is a string (\"512\") where a dword is expected; the default "
        "1024 is used, and the line is kept as written (512 as a dword: \"Debug Folder Max "
        "MB\"=dword:00000200)";

    auto node = RunUntilStarted("second", false);
    const std::string stderrText = node->Stderr();
    EXPECT_EQ(Count(stderrText, "Pelwix: " + slip + "\n"), 1u) << stderrText;
    EXPECT_EQ(Count(stderrText, "Pelwix: " + wrongType + "\n"), 1u) << stderrText;
    const std::string log = node->DebugLog();
    EXPECT_EQ(Count(log, slip), 1u) << log;
    EXPECT_EQ(Count(log, wrongType), 1u) << log;
    EXPECT_EQ(testing::ReadWholeFile(path), file);
}

}  // namespace
}  // namespace ruzd::app
