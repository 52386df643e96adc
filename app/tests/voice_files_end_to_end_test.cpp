// Voice and record files from end to end: the node program on the simulated boards, a central
// server of the test's own on both connections. Prompts are fetched into the file cache and
// trusted for the hour, recordings go back to the central server by the five-second timer, and
// a node killed while a new copy arrives keeps its old copy and its pending moves. A caller's
// call goes the whole way: answered, a prompt played, digits collected, the caller recorded and
// the recording moved to the central server.

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
#include <utility>
#include <vector>

#include "foundation/crc32.h"
#include "telephony/vendorapi/isdn.h"
#include "telephony/vendorapi/voice.h"
#include "testing/command_peer.h"
#include "testing/initialised_node.h"

namespace ruzd::app {
namespace {

namespace fs = std::filesystem;
using ruzd::testing::LeadingInts;

constexpr int32_t kCCACCA = 77;
constexpr int32_t kCCANCA = 78;
constexpr int32_t kCCOPEN = 85;
constexpr int32_t kCCWCAL = 91;
constexpr int32_t kDXFOPE = 41;
constexpr int32_t kDXGDIG = 43;
constexpr int32_t kDXOPEN = 45;
constexpr int32_t kDXPIOT = 47;
constexpr int32_t kDXRIOT = 48;
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

    // The next device event's leading values: 12, 1, the port type, the handle, the event.
    std::vector<int32_t> NextDeviceEvent() {
        const std::optional<testing::Payload> event =
            peer_->ReceiveCode(12, std::chrono::seconds(20));
        EXPECT_TRUE(event) << "no device event";
        return event ? LeadingInts(*event, 5) : std::vector<int32_t>{};
    }

    // A play or record command for one file entry and one termination entry.
    void SendTransfer(int32_t code, int32_t id, int32_t ldev, uint32_t vhandle,
                      uint16_t termination, uint16_t length) {
        peer_->Send(code, id, [&](net::COutputStreamSocket& w) {
            w.WriteUInt(ldev).WriteInt(0x8000);
            w.WriteInt(IO_EOT).WriteUInt(vhandle).WriteUInt(0).WriteLong(-1);
            w.WriteInt(IO_EOT).WriteInt(termination).WriteInt(length).WriteInt(0).WriteInt(0);
            w.WriteInt(1).WriteInt(0).WriteUInt(8000).WriteInt(8);
        });
    }

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

TEST_F(VoiceFilesEndToEndTest, ACallerHearsAPromptDialsAndIsRecorded) {
    // Media time a thousand times faster than the wall clock: the 3 s recording takes 3 ms.
    WriteConfig("network 1 30\nip 0 0\nspeed 1000\n");
    StartAndInitialise(1);
    constexpr int32_t kLine = 1;
    constexpr int32_t kChannel = 5;
    peer_->SendInts(kCCOPEN, 10, {kLine});
    peer_->SendInts(kCCWCAL, 11, {kLine});
    peer_->SendInts(kDXOPEN, 12, {kChannel, 1, 1});
    ASSERT_TRUE(peer_->ReceiveCode(8).has_value());

    // The call comes in and is answered.
    ASSERT_EQ(Control("call dtiB1T1 5551000 5552000"), "OK crn=4097");
    EXPECT_EQ(NextDeviceEvent().back(), CCEV_OFFERED);
    peer_->SendInts(kCCACCA, 13, {kLine, 0, 2, 0});
    EXPECT_EQ(NextDeviceEvent().back(), CCEV_ACCEPT);
    peer_->SendInts(kCCANCA, 14, {kLine, 0, 0, 0});
    EXPECT_EQ(NextDeviceEvent().back(), CCEV_ANSWERED);

    // The prompt is fetched over the file connection and played to its end.
    std::string prompt(12000, '\0');
    for (size_t i = 0; i < prompt.size(); ++i) {
        prompt[i] = static_cast<char>(i * 7 % 253);
    }
    SendOpen(kDXFOPE, 1, kPrompt, kReadBinary, prompt.size(), CrcOf(prompt));
    const Line request = NextLine();
    ASSERT_EQ(request.word, "REQFIL");
    SendFile(request, prompt);
    EXPECT_EQ(OpenResult(), (std::vector<int32_t>{9, 1, 12000}));
    SendTransfer(kDXPIOT, 20, kChannel, 1, 0, 0);
    const std::optional<testing::Payload> played = peer_->ReceiveCode(5);
    ASSERT_TRUE(played);
    EXPECT_EQ(LeadingInts(*played), (std::vector<int32_t>{5, kChannel, TM_EOD, 12000}));
    EXPECT_EQ(Control("query voice dxxxB1C1"),
              "OK state=1 termmask=" + std::to_string(TM_EOD) +
                  " trcount=12000 played=12000:" + std::to_string(CrcOf(prompt)));

    // The caller presses 1, 2 and #, which ends the collection.
    peer_->Send(kDXGDIG, 21, [](net::COutputStreamSocket& w) {
        w.WriteUInt(kChannel).WriteInt(IO_EOT).WriteInt(DX_DIGMASK).WriteInt(0x1000);
        w.WriteInt(0).WriteInt(0);
    });
    ASSERT_TRUE(node_->WaitForLog("dx_getdig dev="));
    ASSERT_EQ(Control("digits dxxxB1C1 12#"), "OK events=3");
    EXPECT_EQ(peer_->ReceiveCode(10), testing::MessagePayload(10, [](auto& w) {
                  w.WriteInt(kChannel).WriteString("12#").WriteString("000");
                  w.WriteInt(TM_DIGIT).WriteInt(0);
              }));

    // Three seconds of the caller's voice are recorded, closed and moved.
    std::string voice(30000, '\0');
    for (size_t i = 0; i < voice.size(); ++i) {
        voice[i] = static_cast<char>(i * 13 % 241);
    }
    const fs::path source = work_.path() / "caller.raw";
    std::ofstream(source, std::ios::binary) << voice;
    ASSERT_EQ(Control("source dxxxB1C1 file " + source.string()), "OK");
    SendOpen(kRECFOPE, 5, "C:\\REC\\CALL.VOX", kCreateReadWriteBinary, 0, 0);
    EXPECT_EQ(OpenResult(), (std::vector<int32_t>{9, 5, 0}));
    SendTransfer(kDXRIOT, 22, kChannel, 5, DX_MAXTIME, 30);
    const std::optional<testing::Payload> recorded = peer_->ReceiveCode(13);
    ASSERT_TRUE(recorded);
    EXPECT_EQ(LeadingInts(*recorded), (std::vector<int32_t>{13, kChannel, TM_MAXTIME, 24000}));
    peer_->Send(kRECFCLO, 23, [](net::COutputStreamSocket& w) { w.WriteUInt(5).WriteLong(8); });
    const Line upload = NextLine();
    EXPECT_EQ(upload.word, "UPFILE");
    EXPECT_EQ(upload.rest, "1 .\\FileCache\\C\\REC\\CALL.VOX C:\\REC\\CALL.VOX 24000");
    const std::optional<std::vector<uint8_t>> moved = files_->ReadBytes(24000);
    ASSERT_TRUE(moved);
    EXPECT_EQ(std::string(moved->begin(), moved->end()), voice.substr(0, 24000));
    files_->SendText("TXQRES " + upload.id + " 0 stored 1\r");
    EXPECT_TRUE(node_->WaitForLog("'C:\\REC\\CALL.VOX' succeeded"));
}

}  // namespace
}  // namespace ruzd::app
