// Voice and record files from end to end: the node program on the simulated boards, a central
// server of the test's own on both connections. Prompts are fetched into the file cache and
// trusted for the hour, recordings go back to the central server by the five-second timer, and
// a node killed while a new copy arrives keeps its old copy and its pending moves.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/crc32.h"
#include "testing/command_peer.h"
#include "testing/initialised_node.h"

namespace ruzd::app {
namespace {

namespace fs = std::filesystem;
using ruzd::testing::LeadingInts;

constexpr int32_t kDXFOPE = 41;
constexpr int32_t kRECFCLO = 166;
constexpr int32_t kRECFOPE = 167;
constexpr int kKillSignal = 9;
constexpr int32_t kReadBinary = 0x8000;
constexpr int32_t kCreateReadWriteBinary = 0x8102;
constexpr const char* kPrompt = "C:\\VOX\\PROMPT.VOX";

std::string ReadAll(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

uint32_t CrcOf(const std::string& content) {
    return foundation::GetBufferCrc32(content.data(), content.size());
}

class VoiceFilesEndToEndTest : public testing::InitialisedNodeTest {
protected:
    void SetUp() override { UseBoards("network 1 30\nip 0 0\n"); }

    void StartAndInitialise(int32_t firstId) {
        testing::InitialisedNodeTest::StartAndInitialise({"-debug", "-d", "-w1"}, firstId);
    }

    void SendOpen(int32_t code, uint32_t vhandle, const std::string& name, int32_t flags,
                  uint32_t size, uint32_t crc) {
        peer_->Send(code, 50, [&](net::COutputStreamSocket& writer) {
            writer.WriteUInt(vhandle).WriteString(name).WriteInt(flags).WriteInt(0x180);
            writer.WriteUInt(size).WriteUInt(crc);
        });
    }

    // Message 9's virtual handle and length.
    std::vector<int32_t> OpenResult() {
        const std::optional<testing::Payload> result =
            peer_->ReceiveCode(9, std::chrono::seconds(20));
        EXPECT_TRUE(result) << "no message 9";
        return result ? LeadingInts(*result) : std::vector<int32_t>{};
    }

    // The next line of the file connection, split at its first two blanks: word, id, rest.
    struct Line {
        std::string word, id, rest;
    };
    Line NextLine() {
        const std::optional<std::string> text = files_->ReadLine();
        EXPECT_TRUE(text) << "nothing on the file connection";
        if (!text) {
            return {};
        }
        const size_t first = text->find(' ');
        const size_t second = text->find(' ', first + 1);
        return {text->substr(0, first), text->substr(first + 1, second - first - 1),
                text->substr(second + 1)};
    }

    void SendFile(const Line& request, const std::string& content) {
        const std::string local = request.rest.substr(request.rest.find(' ') + 1);
        files_->SendText("TXFILE " + request.id + " 1 0 " + local + " " +
                         std::to_string(content.size()) + "\r" + content);
    }

    fs::path Folder() const { return work_.path() / "node"; }
};

TEST_F(VoiceFilesEndToEndTest, PromptsAreCachedRecordingsMovedAndAKilledNodeKeepsBoth) {
    StartAndInitialise(1);
    const std::string prompt(3000, 'p');

    // An uncached prompt is fetched, then opened.
    SendOpen(kDXFOPE, 1, kPrompt, kReadBinary, prompt.size(), CrcOf(prompt));
    const Line request = NextLine();
    EXPECT_EQ(request.word, "REQFIL");
    EXPECT_EQ(request.rest, std::string(kPrompt) + " .\\FileCache\\C\\VOX\\PROMPT.VOX");
    SendFile(request, prompt);
    EXPECT_EQ(OpenResult(), (std::vector<int32_t>{9, 1, 3000}));
    EXPECT_EQ(ReadAll(Folder() / "FileCache" / "C" / "VOX" / "PROMPT.VOX"), prompt);

    // Within the hour: no request, the answer at once.
    SendOpen(kDXFOPE, 2, kPrompt, kReadBinary, prompt.size(), CrcOf(prompt));
    EXPECT_EQ(OpenResult(), (std::vector<int32_t>{9, 2, 3000}));

    // A recording: opened, written, closed, and moved; a refused upload is tried again.
    SendOpen(kRECFOPE, 5, "C:\\REC\\CALL.VOX", kCreateReadWriteBinary, 0, 0);
    EXPECT_EQ(OpenResult(), (std::vector<int32_t>{9, 5, 0}));
    std::ofstream(Folder() / "FileCache" / "C" / "REC" / "CALL.VOX", std::ios::binary)
        << "the caller spoke";
    peer_->Send(kRECFCLO, 51, [](net::COutputStreamSocket& w) { w.WriteUInt(5).WriteLong(8); });
    Line upload = NextLine();
    EXPECT_EQ(upload.word, "UPFILE");
    EXPECT_EQ(upload.rest, "1 .\\FileCache\\C\\REC\\CALL.VOX C:\\REC\\CALL.VOX 16");
    EXPECT_TRUE(files_->ReadBytes(16));
    files_->SendText("TXQRES " + upload.id + " 0 refused 0\r");
    upload = NextLine();
    EXPECT_EQ(upload.word, "UPFILE");
    EXPECT_TRUE(files_->ReadBytes(16));
    files_->SendText("TXQRES " + upload.id + " 0 stored 1\r");
    EXPECT_TRUE(
        node_->WaitForLog("Moving file: from '.\\FileCache\\C\\REC\\CALL.VOX' to "
                          "'C:\\REC\\CALL.VOX' succeeded"));

    // A second recording waits for its move while a new copy of the prompt arrives half way,
    // and the node is killed.
    SendOpen(kRECFOPE, 6, "C:\\REC\\LATER.VOX", kCreateReadWriteBinary, 0, 0);
    EXPECT_EQ(OpenResult(), (std::vector<int32_t>{9, 6, 0}));
    std::ofstream(Folder() / "FileCache" / "C" / "REC" / "LATER.VOX", std::ios::binary) << "later";
    peer_->Send(kRECFCLO, 52, [](net::COutputStreamSocket& w) { w.WriteUInt(6).WriteLong(9); });
    ASSERT_TRUE(node_->WaitForLog("Adding file to be moved: '.\\FileCache\\C\\REC\\LATER.VOX'"));
    const std::string newer(3000, 'n');
    SendOpen(kDXFOPE, 3, kPrompt, kReadBinary, newer.size(), CrcOf(newer));
    const Line refetch = NextLine();
    EXPECT_EQ(refetch.word, "REQFIL");
    const std::string local = refetch.rest.substr(refetch.rest.find(' ') + 1);
    files_->SendText("TXFILE " + refetch.id + " 1 0 " + local + " 3000\r" + newer.substr(0, 1500));
    node_->Signal(kKillSignal);
    node_->WaitForExit();
    peer_.reset();
    files_.reset();
    EXPECT_EQ(ReadAll(Folder() / "FileCache" / "C" / "VOX" / "PROMPT.VOX"), prompt);

    // Restarted, it carries out the pending move.
    StartAndInitialise(10);
    upload = NextLine();
    EXPECT_EQ(upload.word, "UPFILE");
    EXPECT_EQ(upload.rest, "1 .\\FileCache\\C\\REC\\LATER.VOX C:\\REC\\LATER.VOX 5");
    EXPECT_TRUE(files_->ReadBytes(5));
    files_->SendText("TXQRES " + upload.id + " 0 stored 1\r");
    EXPECT_TRUE(node_->WaitForLog("'C:\\REC\\LATER.VOX' succeeded"));
    EXPECT_EQ(ReadAll(Folder() / "FileCache" / "C" / "VOX" / "PROMPT.VOX"), prompt);
}

}  // namespace
}  // namespace ruzd::app
