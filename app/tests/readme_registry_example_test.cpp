// The registry example of the README, copied as a user copies it: the block that starts with the
// registry editor's header becomes the registry file of a fresh platform root, and the node
// started on it listens on the ports it names. Only the port numbers are changed, to free ones,
// so that the test meets no other program on the README's ports.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/registry_store.h"
#include "platform/stop_signals.h"
#include "platform/text.h"
#include "testing/loopback_socket.h"
#include "testing/node_program.h"
#include "testing/temp_root.h"

namespace ruzd::app {
namespace {

using ::testing::HasSubstr;

constexpr const char* kHeader = "Windows Registry Editor Version 5.00";
constexpr const char* kIndent = "    ";

// The code block of the README that starts with the header line, without its indent; empty
// when there is none.
std::string ReadmeRegistryBlock() {
    std::ifstream readme(std::string(RUZD_SOURCE_DIR) + "/README.md");
    std::string line;
    std::vector<std::string> block;
    bool inBlock = false;
    while (std::getline(readme, line)) {
        if (!inBlock) {
            inBlock = line == std::string(kIndent) + kHeader;
        } else if (!line.empty() && !line.starts_with(kIndent)) {
            break;
        }
        if (inBlock) {
            block.push_back(line.empty() ? line : line.substr(4));
        }
    }
    while (!block.empty() && block.back().empty()) {
        block.pop_back();
    }
    std::string text;
    for (const std::string& kept : block) {
        text += kept + "\n";
    }
    return text;
}

TEST(ReadmeRegistryExample, TheNodeListensOnThePortsTheCopiedExampleNames) {
    const std::string block = ReadmeRegistryBlock();
    ASSERT_FALSE(block.empty()) << "README.md has no code block starting with " << kHeader;
    EXPECT_THAT(block, ::testing::StartsWith(std::string(kHeader) +
                                             "\n\n"
                                             "[HKEY_LOCAL_MACHINE\\Software\\Ruzd\\Pelwix]\n"));

    // Each port's number becomes a free one; every other character stays as the README prints
    // it.
    std::map<std::string, uint16_t> ports;
    std::string copied;
    std::istringstream lines(block);
    for (std::string line; std::getline(lines, line);) {
        bool port = false;
        for (const char* name :
             {"Local TCP port", "Local File Socket TCP port", "Local GUI TCP port"}) {
            const std::string start = "\"" + std::string(name) + "\"=dword:";
            if (line.starts_with(start) && line.size() == start.size() + 8) {
                ports[name] = testing::FreePort();
                copied += start + platform::Format("%08x", ports[name]) + "\n";
                port = true;
            }
        }
        if (!port) {
            copied += line + "\n";
        }
    }
    ASSERT_EQ(ports.size(), 3u) << "the example sets all three ports:\n" << block;
    ASSERT_EQ(copied.size(), block.size());

    testing::TempRoot root;
    testing::TempDir work;
    {
        std::ofstream file(platform::RegistryStore::StorePath(), std::ios::binary);
        file << copied;
    }
    testing::NodeProcess node(root.path(), work.path() / "node", {"-debug"});
    const auto ended = [&node] { return node.HasEnded(); };
    for (const auto& [name, port] : ports) {
        EXPECT_TRUE(
            testing::RawConnection::ConnectWhenListening(port, testing::kPatience, ended).valid())
            << "nothing listens on \"" << name << "\" " << port << "\n"
            << node.Stderr();
    }
    // The node keeps the example's lines; it adds the defaults of what the example leaves out.
    const std::string after = testing::ReadWholeFile(platform::RegistryStore::StorePath());
    std::istringstream copiedLines(copied);
    for (std::string line; std::getline(copiedLines, line);) {
        EXPECT_THAT(after, HasSubstr(line + "\n"));
    }
    node.Signal(platform::SignalNumber(platform::StopSignal::kTerminate));
    EXPECT_TRUE(node.WaitForExit().has_value());
}

}  // namespace
}  // namespace ruzd::app
