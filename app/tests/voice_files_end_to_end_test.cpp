// Voice and record files from end to end: the node program on the simulated boards, a central
// server of the test's own on both connections. Prompts are fetched into the file cache and
// trusted for the hour, recordings go back to the central server by the five-second timer, and
// a node killed while a new copy arrives keeps its old copy and its pending moves. A caller's
// call goes the whole way: answered, a prompt played, digits collected, the caller recorded and
// the recording moved to the central server; a prompt whose CRC-32 the central server has wrong
// is taken all the same, with a warning. The file connection from the central server's machine
// authorised last before its CNINIT carries its files until it closes, the next one authorised
// after that then; strangers on the file port, even authorised ones and ones from its machine,
// get none of the central server's files, write none into the cache and do not set the clock;
// names from the wire never reach the node's own files; a long move queue drains. Strangers who
// open connections and never speak hold up neither the central server's transfers nor a new
// connection.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "foundation/crc32.h"
#include "platform/stop_signals.h"
#include "platform/text.h"
#include "telephony/vendorapi/isdn.h"
#include "telephony/vendorapi/voice.h"
#include "testing/command_peer.h"
#include "testing/eventually.h"
#include "testing/file_peer.h"
#include "testing/initialised_node.h"
#include "testing/injected_failure.h"
#include "testing/os_for_tests.h"
#include "testing/stranger_flood.h"
#include "testing/tormbel_program.h"

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
constexpr int32_t kGCOPEN = 127;
constexpr int32_t kGCSTAT = 140;
constexpr int32_t kRECFCLO = 166;
constexpr int32_t kRECFOPE = 167;
constexpr int kKillSignal = 9;
constexpr int32_t kReadBinary = 0x8000;
constexpr int32_t kCreateReadWriteBinary = 0x8102;
constexpr int32_t kTruncateReadWriteBinary = 0x8302;
constexpr int32_t kNetworkLine = 3;
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
    Line NextLine() { return NextLine(*files_); }
    Line NextLine(testing::FilePeer& files) {
        const std::optional<std::string> text = files.ReadLine();
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

    // A recording of `voice` as C:\REC\<name> under `vhandle`: opened, written and closed,
    // which queues its move to the central server.
    void Record(uint32_t vhandle, const std::string& name, const std::string& voice) {
        SendOpen(kRECFOPE, vhandle, "C:\\REC\\" + name, kCreateReadWriteBinary, 0, 0);
        EXPECT_EQ(OpenResult(), (std::vector<int32_t>{9, static_cast<int32_t>(vhandle), 0}));
        std::ofstream(Folder() / "FileCache" / "C" / "REC" / name, std::ios::binary) << voice;
        peer_->Send(kRECFCLO, 51,
                    [&](net::COutputStreamSocket& w) { w.WriteUInt(vhandle).WriteLong(8); });
    }

    // The next upload on `files`, which must be the recording Record made, taken and stored.
    void TakeUpload(testing::FilePeer& files, const std::string& name, const std::string& voice) {
        const Line upload = NextLine(files);
        ASSERT_EQ(upload.word, "UPFILE");
        EXPECT_EQ(upload.rest, "1 .\\FileCache\\C\\REC\\" + name + " C:\\REC\\" + name + " " +
                                   std::to_string(voice.size()));
        const std::optional<std::vector<uint8_t>> bytes = files.ReadBytes(voice.size());
        ASSERT_TRUE(bytes);
        EXPECT_EQ(std::string(bytes->begin(), bytes->end()), voice);
        files.SendText("TXQRES " + upload.id + " 0 stored 1\r");
        EXPECT_TRUE(node_->WaitForLog("to 'C:\\REC\\" + name + "' succeeded"));
    }

    // Plays the file open under `vhandle` on `channel` (the first channel of the first voice
    // board) to its end: the channel plays all of `content`.
    void ExpectPlayedWhole(int32_t channel, uint32_t vhandle, const std::string& content) {
        const int32_t length = static_cast<int32_t>(content.size());
        SendTransfer(kDXPIOT, 20, channel, vhandle, 0, 0);
        const std::optional<testing::Payload> played = peer_->ReceiveCode(5);
        ASSERT_TRUE(played);
        EXPECT_EQ(LeadingInts(*played), (std::vector<int32_t>{5, channel, TM_EOD, length}));
        EXPECT_EQ(Control("query voice dxxxB1C1"), "OK state=1 termmask=" + std::to_string(TM_EOD) +
                                                       " trcount=" + std::to_string(length) +
                                                       " played=" + std::to_string(length) + ":" +
                                                       std::to_string(CrcOf(content)));
    }

    // Sends a keep-alive on the file connection: once it is answered, what the connection sent
    // before has been handled, and nothing came for it before the answer.
    static void ExpectNothingBeforeHeartbeat(testing::FilePeer& files) {
        files.SendText("HEARTB 1 00000000010000000002\r");
        EXPECT_EQ(files.ReadLine(), "HEARTB 0 00000000010000000002");
    }

    // How far the node's clock is behind the test's, in seconds, as its answer to a bare TTSYNC
    // on `files` tells.
    static int64_t NodeClockShift(testing::FilePeer& files) {
        files.SendText("TTSYNC\r");
        const std::optional<std::string> answer = files.ReadLine();
        std::tm utc{};
        if (!answer ||
            std::sscanf(answer->c_str(), "TTSYNC %4d-%2d-%2dT%2d:%2d:%2d", &utc.tm_year,
                        &utc.tm_mon, &utc.tm_mday, &utc.tm_hour, &utc.tm_min, &utc.tm_sec) != 6) {
            ADD_FAILURE() << "no clock from the node: " << answer.value_or("nothing");
            return 0;
        }
        utc.tm_year -= 1900;
        utc.tm_mon -= 1;
        return static_cast<int64_t>(std::time(nullptr) - timegm(&utc));
    }

    // The clock text of a central server whose clock is `offset` seconds ahead of the test's.
    static std::string ClockText(int64_t offset) {
        const std::time_t when = std::time(nullptr) + offset;
        std::tm utc{};
        gmtime_r(&when, &utc);
        return platform::Format("%04d-%02d-%02dT%02d:%02d:%02d+00000", utc.tm_year + 1900,
                                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    }

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
    ExpectPlayedWhole(kChannel, 1, prompt);

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

TEST_F(VoiceFilesEndToEndTest, ASecondAuthorisedFileConnectionGetsNothingAndWritesNothing) {
    StartAndInitialise(1);
    // Authorised from the central server's own machine, but after its connection.
    std::unique_ptr<testing::FilePeer> second = testing::FilePeer::Authorised(file_port_);
    ASSERT_TRUE(second);
    const std::string prompt(3000, 'p');
    const fs::path copy = Folder() / "FileCache" / "C" / "VOX" / "PROMPT.VOX";

    // The request goes to the central server alone, and only its answer for the file it
    // named is written.
    SendOpen(kDXFOPE, 1, kPrompt, kReadBinary, prompt.size(), CrcOf(prompt));
    Line request = NextLine();
    ASSERT_EQ(request.word, "REQFIL");
    ExpectNothingBeforeHeartbeat(*second);
    second->SendText("TXFILE " + request.id + " 1 0 .\\FileCache\\C\\VOX\\PROMPT.VOX 3000\r" +
                     std::string(3000, 'x'));
    ExpectNothingBeforeHeartbeat(*second);
    EXPECT_FALSE(fs::exists(copy));
    files_->SendText("TXFILE " + request.id + " 1 0 .\\FileCache\\C\\VOX\\OTHER.VOX 5\rother");
    EXPECT_EQ(OpenResult(), (std::vector<int32_t>{9, 1, -1}));
    EXPECT_FALSE(fs::exists(copy.parent_path() / "OTHER.VOX"));
    SendOpen(kDXFOPE, 2, kPrompt, kReadBinary, prompt.size(), CrcOf(prompt));
    request = NextLine();
    SendFile(request, prompt);
    EXPECT_EQ(OpenResult(), (std::vector<int32_t>{9, 2, 3000}));
    EXPECT_EQ(ReadAll(copy), prompt);
    second->SendText(std::string("FILREM ") + kPrompt + "\r");
    ExpectNothingBeforeHeartbeat(*second);
    EXPECT_TRUE(fs::exists(copy));

    // A recording goes to the central server alone, and only its answer counts.
    SendOpen(kRECFOPE, 5, "C:\\REC\\CALL.VOX", kCreateReadWriteBinary, 0, 0);
    EXPECT_EQ(OpenResult(), (std::vector<int32_t>{9, 5, 0}));
    std::ofstream(Folder() / "FileCache" / "C" / "REC" / "CALL.VOX", std::ios::binary) << "spoken";
    peer_->Send(kRECFCLO, 51, [](net::COutputStreamSocket& w) { w.WriteUInt(5).WriteLong(8); });
    const Line upload = NextLine();
    ASSERT_EQ(upload.word, "UPFILE");
    EXPECT_TRUE(files_->ReadBytes(6));
    second->SendText("TXQRES " + upload.id + " 0 refused 0\r");
    ExpectNothingBeforeHeartbeat(*second);
    files_->SendText("TXQRES " + upload.id + " 0 stored 1\r");
    EXPECT_TRUE(node_->WaitForLog("'C:\\REC\\CALL.VOX' succeeded"));
    EXPECT_EQ(node_->DebugLog().find("'C:\\REC\\CALL.VOX' failed"), std::string::npos);
}

TEST_F(VoiceFilesEndToEndTest,
       AFileConnectionAuthorisedAfterCninitGetsNoneOfTheCentralServersFiles) {
    // From the central server's machine, taken before the central server's own connection and
    // through its handshake, but authorised only once CNINIT made the central server active.
    std::unique_ptr<testing::FilePeer> early;
    on_commands_accepted_ = [&] {
        early = testing::FilePeer::ConnectWhenListening(file_port_);
        ASSERT_TRUE(early->Handshake(false));
    };
    StartAndInitialise(1);
    ASSERT_TRUE(early);
    early->SendText("STARTS 2\r");
    ASSERT_EQ(early->ReadLine(), "STARTS 1");

    // Recordings and requests go on the connection the central server had at its CNINIT.
    for (uint32_t call = 1; call <= 2; ++call) {
        const std::string name = "CALL" + std::to_string(call) + ".VOX";
        Record(4 + call, name, "spoken " + name);
        TakeUpload(*files_, name, "spoken " + name);
    }
    const std::string prompt(3000, 'p');
    SendOpen(kDXFOPE, 1, kPrompt, kReadBinary, prompt.size(), CrcOf(prompt));
    const Line request = NextLine();
    ASSERT_EQ(request.word, "REQFIL");
    SendFile(request, prompt);
    EXPECT_EQ(OpenResult(), (std::vector<int32_t>{9, 1, 3000}));
    ExpectNothingBeforeHeartbeat(*early);

    // That connection gone, the one authorised meanwhile does not take its place: no prompt can
    // be fetched, and a recording waits in the queue...
    files_.reset();
    ASSERT_TRUE(node_->WaitForLog("File Socket connection of the central server closed"));
    SendOpen(kDXFOPE, 2, "C:\\VOX\\OTHER.VOX", kReadBinary, prompt.size(), CrcOf(prompt));
    EXPECT_EQ(OpenResult(), (std::vector<int32_t>{9, 2, -1}));
    Record(7, "CALL3.VOX", "spoken while away");
    ASSERT_TRUE(node_->WaitForLog("Adding file to be moved: '.\\FileCache\\C\\REC\\CALL3.VOX'"));
    // ...until a connection from the central server's machine is authorised: it takes the place.
    files_ = testing::FilePeer::Authorised(file_port_);
    ASSERT_TRUE(files_);
    TakeUpload(*files_, "CALL3.VOX", "spoken while away");
    ExpectNothingBeforeHeartbeat(*early);
    EXPECT_EQ(node_->DebugLog().find("failed, error="), std::string::npos);
}

TEST_F(VoiceFilesEndToEndTest, APromptWhoseCrcTheCentralServerHasWrongIsTakenAndPlayed) {
    // Media time a thousand times faster than the wall clock.
    WriteConfig("network 1 30\nip 0 0\nspeed 1000\n");
    StartAndInitialise(1);
    constexpr int32_t kChannel = 5;
    std::string prompt(12000, '\0');
    for (size_t i = 0; i < prompt.size(); ++i) {
        prompt[i] = static_cast<char>(i * 11 % 251);
    }
    // The central server's record of the prompt is older than the prompt it sends.
    const uint32_t stale = CrcOf(prompt) ^ 0x00FF00FFu;
    SendOpen(kDXFOPE, 1, kPrompt, kReadBinary, prompt.size(), stale);
    const Line request = NextLine();
    ASSERT_EQ(request.word, "REQFIL");
    SendFile(request, prompt);
    EXPECT_EQ(OpenResult(), (std::vector<int32_t>{9, 1, 12000}));
    EXPECT_TRUE(node_->WaitForLog(platform::Format(
        "WARNING: TXFILE %s: .\\FileCache\\C\\VOX\\PROMPT.VOX came with 12000 bytes and the "
        "CRC-32 %08X, the central server named 12000 bytes and the CRC-32 %08X",
        request.id.c_str(), CrcOf(prompt), stale)));
    EXPECT_EQ(node_->DebugLog().find("Request File Failed"), std::string::npos);
    EXPECT_EQ(ReadAll(Folder() / "FileCache" / "C" / "VOX" / "PROMPT.VOX"), prompt);

    // And it plays to its end.
    peer_->SendInts(kDXOPEN, 12, {kChannel, 1, 1});
    ASSERT_TRUE(peer_->ReceiveCode(8).has_value());
    ExpectPlayedWhole(kChannel, 1, prompt);
}

TEST_F(VoiceFilesEndToEndTest, SilentStrangersOnTheFilePortHoldUpNeitherTransfersNorNewcomers) {
    StartAndInitialise(1);
    const std::string prompt(3000, 'p');
    // Connections that never speak come faster than their handshakes could time out, more than
    // the port holds: none of them holds the connection's thread while it waits.
    testing::StrangerFlood flood(file_port_, 200);
    ASSERT_TRUE(testing::Eventually([&] { return flood.SilentConnections() >= 200; }))
        << flood.SilentConnections() << " silent connections taken";

    // While they keep coming, the central server's fetch goes through...
    SendOpen(kDXFOPE, 1, kPrompt, kReadBinary, prompt.size(), CrcOf(prompt));
    const Line request = NextLine();
    ASSERT_EQ(request.word, "REQFIL");
    SendFile(request, prompt);
    EXPECT_EQ(OpenResult(), (std::vector<int32_t>{9, 1, 3000}));
    // ...and a newcomer is authorised: the silent ones make room for it.
    EXPECT_TRUE(testing::FilePeer::Authorised(file_port_));
    EXPECT_TRUE(node_->WaitForLog("closed to make room: 32 connections held already"));
    ExpectNothingBeforeHeartbeat(*files_);
}

TEST_F(VoiceFilesEndToEndTest, NamesFromTheWireNeverReachTheNodesOwnFiles) {
    WriteConfig("network 1 30\nip 1 4\n");
    StartAndInitialise(1);
    const fs::path queue = Folder() / "MoveFileQueue.txt";
    const std::string kept = "kept\tC:\\REC\\KEPT.VOX\t3\t0\r\n";
    std::ofstream(queue, std::ios::binary) << kept;

    // A name the cache has no place for is refused, not opened in the working folder.
    SendOpen(kRECFOPE, 5, "..\\MoveFileQueue.txt", kTruncateReadWriteBinary, 0, 0);
    EXPECT_EQ(OpenResult(), (std::vector<int32_t>{9, 5, -1}));
    // One the cache could hold, but that the central server does not send, is not opened as
    // it stands either.
    SendOpen(kRECFOPE, 6, "MoveFileQueue.txt", kTruncateReadWriteBinary, 5, 0);
    const Line request = NextLine();
    ASSERT_EQ(request.word, "REQFIL");
    files_->SendText("TXFILE " + request.id + " 0 0 .\\FileCache\\MOVEFILEQUEUE.TXT 0\r");
    EXPECT_EQ(OpenResult(), (std::vector<int32_t>{9, 6, -1}));
    // Nor is a trace file.
    peer_->SendInts(kGCOPEN, 10, {kNetworkLine, 1});
    peer_->Send(kGCSTAT, 11, [](net::COutputStreamSocket& w) {
        w.WriteInt(1).WriteString("..\\MoveFileQueue.txt");
    });
    EXPECT_TRUE(node_->WaitForLog("refused: one of the node's own files"));
    EXPECT_EQ(ReadAll(queue), kept);
}

TEST_F(VoiceFilesEndToEndTest, TheClockComesOnlyFromTheCentralServersConnectionByADayAtMost) {
    StartAndInitialise(1);
    const int64_t before = NodeClockShift(*files_);
    testing::FilePeer stranger(file_port_);
    ASSERT_TRUE(stranger.Handshake(false));
    stranger.SendText("TTSYNC " + ClockText(7200) + "\r");
    std::unique_ptr<testing::FilePeer> second = testing::FilePeer::Authorised(file_port_);
    ASSERT_TRUE(second);
    second->SendText("TTSYNC " + ClockText(7200) + "\r");
    files_->SendText("TTSYNC " + ClockText(2 * 86400) + "\r");
    EXPECT_NEAR(NodeClockShift(*second), before, 5);
    EXPECT_NEAR(NodeClockShift(stranger), before, 5);
    EXPECT_NEAR(NodeClockShift(*files_), before, 5);

    // Within a day it is taken; sent before the authorisation, once the connection is the
    // central server's.
    files_->SendText("TTSYNC " + ClockText(3600) + "\r");
    EXPECT_NEAR(NodeClockShift(*files_), -3600, 5);
    second.reset();
    files_.reset();
    auto again = testing::FilePeer::ConnectWhenListening(file_port_);
    again->SetHandshakeClock(ClockText(-1800));
    ASSERT_TRUE(again->Handshake(true));
    EXPECT_NEAR(NodeClockShift(*again), -3600, 5);
    again->SendText("STARTS 2\r");
    ASSERT_EQ(again->ReadLine(), "STARTS 1");
    EXPECT_NEAR(NodeClockShift(*again), 1800, 5);
}

// A kept move queue that cannot be read at the start (its first open refused with EACCES) is
// said so and left as it was, byte for byte, when the next recording is queued: the moves it
// holds are not written over, and the new one is moved all the same.
TEST_F(VoiceFilesEndToEndTest, AMoveQueueThatCannotBeReadIsNeverWrittenOver) {
    fs::create_directories(Folder() / "FileCache" / "C" / "REC");
    std::ofstream(Folder() / "FileCache" / "C" / "REC" / "EARLIER.VOX", std::ios::binary) << "e";
    const std::string queue =
        ".\\FileCache\\C\\REC\\EARLIER.VOX\tC:\\REC\\EARLIER.VOX\t3\t0\r\nno move at all\r\n";
    std::ofstream(Folder() / "MoveFileQueue.txt", std::ios::binary) << queue;
    TraceNode({"-e", "trace=openat", "-P", (Folder() / "MoveFileQueue.txt").string(), "-e",
               "inject=openat:error=EACCES:when=1"});
    StartAndInitialise(1);
    EXPECT_TRUE(node_->WaitForLog(
        "Moving file: ERROR the queue in .\\MoveFileQueue.txt could not be read (Permission "
        "denied): it is left as it is"));

    Record(5, "NEW.VOX", "the caller spoke");
    ASSERT_TRUE(node_->WaitForLog("Adding file to be moved: '.\\FileCache\\C\\REC\\NEW.VOX'"));
    EXPECT_TRUE(
        node_->WaitForLog("Moving file: ERROR the queue in .\\MoveFileQueue.txt was not read and "
                          "is not written over: 1 moves are kept in memory only"));
    EXPECT_EQ(ReadAll(Folder() / "MoveFileQueue.txt"), queue);
    TakeUpload(*files_, "NEW.VOX", "the caller spoke");
    EXPECT_EQ(ReadAll(Folder() / "MoveFileQueue.txt"), queue);
}

// A line of the kept queue that is no move stays in the file when the queue is written anew.
TEST_F(VoiceFilesEndToEndTest, AQueueLineThatIsNoMoveIsKept) {
    fs::create_directories(Folder());
    std::ofstream(Folder() / "MoveFileQueue.txt", std::ios::binary) << "no move at all\r\n";
    StartAndInitialise(1);
    EXPECT_TRUE(node_->WaitForLog("queue line not understood, kept as it is: no move at all"));
    Record(5, "NEW.VOX", "voice");
    TakeUpload(*files_, "NEW.VOX", "voice");
    EXPECT_TRUE(testing::Eventually(
        [&] { return ReadAll(Folder() / "MoveFileQueue.txt") == "no move at all\r\n"; }));
}

// A recording whose close fails is said to be cut; and one the file cache refuses at its close
// (the copy could not be opened to take its CRC-32: the node's second open of it fails) is
// queued for the move all the same, and moved.
TEST_F(VoiceFilesEndToEndTest, ARecordingTheCacheRefusesIsMovedAllTheSame) {
    fs::create_directories(Folder() / "FileCache" / "C" / "REC");
    TraceNode({"-e", "trace=openat,close", "-P",
               (Folder() / "FileCache" / "C" / "REC" / "CUT.VOX").string(), "-e",
               "inject=openat:error=EACCES:when=2", "-e", "inject=close:error=EIO:when=1"});
    StartAndInitialise(1);
    Record(5, "CUT.VOX", "what there is");
    EXPECT_TRUE(node_->WaitForLog("ERROR: the recording C:\\REC\\CUT.VOX is cut"));
    EXPECT_TRUE(node_->WaitForLog("Could not open file .\\FileCache\\C\\REC\\CUT.VOX"));
    EXPECT_TRUE(
        node_->WaitForLog("FileCache refused the recording .\\FileCache\\C\\REC\\CUT.VOX: it is "
                          "queued for the central server without its CRC record"));
    TakeUpload(*files_, "CUT.VOX", "what there is");
}

// FIFOs where the node's own files, or the voice and record files it opens, should be: the
// node starts, takes CNINIT, names each and goes on; none of them is waited on.
TEST_F(VoiceFilesEndToEndTest, FifosInPlaceOfTheNodesFilesAreNamedAndNeverWaitedOn) {
    fs::create_directories(Folder() / "FileCache" / "C" / "VOX");
    fs::create_directories(Folder() / "LOCAL");
    ASSERT_TRUE(testing::MakeFifo(Folder() / "MoveFileQueue.txt"));
    ASSERT_TRUE(testing::MakeFifo(Folder() / "FileCache" / "C" / "VOX" / "PROMPT.VOX"));
    ASSERT_TRUE(testing::MakeFifo(Folder() / "LOCAL" / "MAPPED.VOX"));
    ASSERT_TRUE(testing::MakeFifo(Folder() / "LOCAL" / "TAKE.VOX"));
    std::ofstream(Folder() / "FILEMAP.TXT") << "C:\\MAPPED .\\LOCAL\n";
    StartAndInitialise(1);
    EXPECT_TRUE(
        node_->WaitForLog("Moving file: ERROR the queue in .\\MoveFileQueue.txt could not be read "
                          "(not a regular file)"));

    // A voice file of the cache, one of the file map, a record file of the file map.
    SendOpen(kDXFOPE, 1, kPrompt, kReadBinary, 10, 0);
    EXPECT_EQ(OpenResult(), (std::vector<int32_t>{9, 1, -1}));
    EXPECT_TRUE(node_->WaitForLog("Could not open file .\\FileCache\\C\\VOX\\PROMPT.VOX"));
    SendOpen(kDXFOPE, 2, "C:\\MAPPED\\MAPPED.VOX", kReadBinary, 10, 0);
    EXPECT_EQ(OpenResult(), (std::vector<int32_t>{9, 2, -1}));
    EXPECT_TRUE(node_->WaitForLog(
        "dx_fileopen vhandle=2 refused: .\\LOCAL\\MAPPED.VOX is not a regular file"));
    SendOpen(kRECFOPE, 3, "C:\\MAPPED\\TAKE.VOX", kTruncateReadWriteBinary, 0, 0);
    EXPECT_EQ(OpenResult(), (std::vector<int32_t>{9, 3, -1}));
    EXPECT_TRUE(node_->WaitForLog(
        "rec_fileopen vhandle=3 refused: .\\LOCAL\\TAKE.VOX is not a regular file"));

    // The file map, read at the next CNINIT; the node answers it, and the next command.
    fs::remove(Folder() / "FILEMAP.TXT");
    ASSERT_TRUE(testing::MakeFifo(Folder() / "FILEMAP.TXT"));
    peer_->SendInit(20);
    EXPECT_TRUE(peer_->ReceiveCode(31).has_value());
    EXPECT_TRUE(node_->WaitForLog(
        "ERROR: FILEMAP.TXT could not be read (not a regular file). No fileconversion used"));
    Settle();
}

// The event log's store a FIFO that nobody reads, full, and the debug folder a FIFO too: the
// debug log's alert that its file cannot be opened, made under its lock, would wait there for
// ever and every logging thread with it. The node starts, takes CNINIT and keep-alives, stops,
// and names the store once.
TEST_F(VoiceFilesEndToEndTest, AnEventLogThatIsAFullFifoIsNamedOnceAndNeverWaitedOn) {
    fs::create_directories(Folder());
    ASSERT_TRUE(testing::MakeFifo(Folder() / "debug"));
    const fs::path store = root_.path() / "eventlog" / "Application.events";
    fs::create_directories(store.parent_path());
    testing::FullFifo fifo(store);
    ASSERT_TRUE(fifo.valid());
    StartAndInitialise(1);
    Settle();
    node_->Signal(platform::SignalNumber(platform::StopSignal::kTerminate));
    EXPECT_EQ(node_->WaitForExit(), 255) << node_->Stderr();
    const std::string said = node_->Stderr();
    EXPECT_EQ(testing::CountOf(said, "Pelwix: Event log " + store.string() +
                                         " cannot be opened (not a regular file): its events go "
                                         "to syslog only\n"),
              1u)
        << said;
    EXPECT_EQ(testing::CountOf(said, "Pelwix: Debug file " + (Folder() / "debug").string()), 1u)
        << said;
}

// A queued recording whose reads fail (as on a failing disk: strace makes each read of it
// fail for real) is not uploaded: the central server gets no byte that is not the file's own,
// the record stays queued, and the next try after the disk recovered sends the file whole.
TEST_F(VoiceFilesEndToEndTest, ARecordingThatCannotBeReadIsNotSentAndStaysQueued) {
    std::string voice(100000, '\0');
    for (size_t i = 0; i < voice.size(); ++i) {
        voice[i] = static_cast<char>('a' + i % 26);
    }
    const fs::path recording = Folder() / "FileCache" / "C" / "REC" / "KEPT.VOX";
    fs::create_directories(recording.parent_path());
    std::ofstream(recording, std::ios::binary) << voice;
    const fs::path queue = Folder() / "MoveFileQueue.txt";
    std::ofstream(queue, std::ios::binary)
        << ".\\FileCache\\C\\REC\\KEPT.VOX\tC:\\REC\\KEPT.VOX\t50\t0\r\n";
    // The reads fail from before the first try, which needs the file connection.
    std::unique_ptr<testing::InjectedFailure> failing;
    on_commands_accepted_ = [&] {
        failing = std::make_unique<testing::InjectedFailure>(node_->pid(), fs::canonical(recording),
                                                             "read", "EIO");
    };
    StartAndInitialise(1);
    ASSERT_TRUE(failing && failing->active()) << (failing ? failing->Output() : "");

    // Announced, then cut off inside the announced count: the peer has no file to store.
    Line upload = NextLine();
    ASSERT_EQ(upload.word, "UPFILE");
    EXPECT_EQ(upload.rest, "1 .\\FileCache\\C\\REC\\KEPT.VOX C:\\REC\\KEPT.VOX 100000");
    EXPECT_FALSE(files_->ReadBytes(voice.size()));
    EXPECT_TRUE(files_->WaitClosed());
    EXPECT_TRUE(node_->WaitForLog(
        "ERROR: File .\\FileCache\\C\\REC\\KEPT.VOX could not be "
        "read during FileSocket transfer: An input/output error occurred on the device"));
    // Kept for a later try, one try spent.
    EXPECT_TRUE(testing::Eventually([&] {
        const std::string kept = ReadAll(queue);
        return kept.find("KEPT.VOX\t") != std::string::npos &&
               kept.find("\t50\t") == std::string::npos;
    })) << ReadAll(queue);
    EXPECT_EQ(node_->DebugLog().find("'C:\\REC\\KEPT.VOX' succeeded"), std::string::npos);
    EXPECT_TRUE(fs::exists(recording));

    // The disk reads again: the next try, on the next connection, sends the file's own bytes.
    failing.reset();
    files_ = testing::FilePeer::Authorised(file_port_);
    ASSERT_TRUE(files_);
    TakeUpload(*files_, "KEPT.VOX", voice);
    EXPECT_TRUE(
        testing::Eventually([&] { return ReadAll(queue).find("KEPT.VOX") == std::string::npos; }));
}

TEST_F(VoiceFilesEndToEndTest, AMoveQueueOfFiftyThousandRecordsDrains) {
    // Recordings whose files are gone: each is tried four times and dropped.
    std::string queue;
    for (int record = 0; record < 50000; ++record) {
        queue += platform::Format(
            ".\\FileCache\\C\\REC\\GONE%05d.VOX\tC:\\REC\\GONE%05d.VOX\t3\t0\r\n", record, record);
    }
    fs::create_directories(Folder());
    std::ofstream(Folder() / "MoveFileQueue.txt", std::ios::binary) << queue;
    StartAndInitialise(1);
    EXPECT_TRUE(testing::Eventually(
        [&] {
            std::error_code error;
            return fs::file_size(Folder() / "MoveFileQueue.txt", error) == 0 && !error;
        },
        std::chrono::minutes(10)));
    EXPECT_TRUE(
        node_->WaitForLog("'C:\\REC\\GONE49999.VOX', because original file doesn't exist."));
}

}  // namespace
}  // namespace ruzd::app
