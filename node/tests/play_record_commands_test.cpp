// Play and record on the simulated boards, whose media clock runs a thousand times faster than
// the wall clock: prompts fetched into the file cache and played, memory entries, malformed and
// long lists, recordings of a source into record files (raw and wave), a channel and a cable
// position mixed into one record file, and a second play on a busy channel.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/crc32.h"
#include "node/tests/isdn_node_fixture.h"
#include "telephony/vendorapi/voice.h"
#include "testing/child_program.h"
#include "testing/eventually.h"
#include "testing/temp_root.h"

namespace ruzd::node {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using testing::LeadingInts;
using ::testing::Not;
using testing::Payload;

constexpr int32_t kCNSTRT = 15;
constexpr int32_t kDXFOPE = 41;
constexpr int32_t kDXMRIO = 46;
constexpr int32_t kDXOPEN = 45;
constexpr int32_t kDXPIOT = 47;
constexpr int32_t kDXRIOT = 48;
constexpr int32_t kDXPLTO = 54;
constexpr int32_t kRECFCLO = 166;
constexpr int32_t kRECFOPE = 167;
constexpr int32_t kChannel = 5;
constexpr int32_t kReadBinary = 0x8000;
constexpr int32_t kCreateReadWriteBinary = 0x8102;
constexpr int32_t kMadeUpEnd = 0x2B67;

std::string ReadAll(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

uint32_t CrcOf(const std::string& content) {
    return foundation::GetBufferCrc32(content.data(), content.size());
}

// The linear value of an A-law code, as G.711 defines it.
int AlawValue(char code) {
    const int bits = static_cast<uint8_t>(code) ^ 0x55;
    const int segment = (bits >> 4) & 0x07;
    int magnitude = ((bits & 0x0F) << 4) + 8;
    if (segment > 0) {
        magnitude = (magnitude + 0x100) << (segment - 1);
    }
    return (bits & 0x80) != 0 ? magnitude : -magnitude;
}

constexpr const char* kSox = "/usr/bin/sox";
constexpr const char* kSoxi = "/usr/bin/soxi";

// What sox (or soxi) wrote on its output; a failure of the test when it failed or complained.
std::string Sox(const char* program, const std::vector<std::string>& arguments) {
    ruzd::testing::TempDir folder;
    const int exitCode = ruzd::testing::RunProgram({.program = program,
                                                    .arguments = arguments,
                                                    .stdout_file = folder.path() / "out",
                                                    .stderr_file = folder.path() / "err"});
    const std::string complaint = ReadAll(folder.path() / "err");
    EXPECT_EQ(exitCode, 0) << program << ": " << complaint;
    EXPECT_EQ(complaint, "") << program;
    return ReadAll(folder.path() / "out");
}

// Bytes that differ from one to the next, as voice does.
std::string VaryingBytes(size_t size, int step, int modulus) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i * step % modulus);
    }
    return bytes;
}

// One transfer entry as the central server sends it; `data` only for a memory entry.
struct Entry {
    uint16_t type = 0;
    int32_t vhandle = 0;
    uint32_t offset = 0;
    int32_t length = -1;
    std::string data;
};

// One termination entry.
struct Termination {
    uint16_t type = IO_EOT;
    uint16_t number = 0;
    uint16_t length = 0;
};

struct Format {
    uint16_t file_format = 1;
    uint32_t samples = 0;
    uint16_t bits = 0;
    uint16_t data_format = 0;
};

class PlayRecordCommandsTest : public testing::IsdnNodeTest {
protected:
    std::string Boards() const override { return "voice 1 4\nnetwork 1 30\nip 0 0\nspeed 1000\n"; }

    // Starts the workers (CNSTRT), then opens the channel.
    void OpenChannel() {
        peer_->SendInts(kCNSTRT, 9, {});
        ASSERT_TRUE(ruzd::testing::Eventually([this] {
            return manager_->IsWorkerRunning(CVesmarinManager::Worker::kISDN) &&
                   manager_->IsWorkerRunning(CVesmarinManager::Worker::kFileHandling);
        }));
        peer_->SendInts(kDXOPEN, 10, {kChannel, 1, 1});
        ASSERT_TRUE(NextMessage(8).has_value());
    }

    // `tail` writes what follows the format block (the two sources of DXMRIO).
    void SendTransfer(int32_t code, uint16_t mode, const std::vector<Entry>& entries,
                      const std::vector<Termination>& terms, Format format = {},
                      const std::function<void(net::COutputStreamSocket&)>& tail = {}) {
        peer_->Send(code, 60, [&](net::COutputStreamSocket& w) {
            w.WriteUInt(kChannel).WriteInt(mode);
            for (const Entry& entry : entries) {
                w.WriteInt(entry.type)
                    .WriteInt(entry.vhandle)
                    .WriteUInt(entry.offset)
                    .WriteLong(entry.length);
                if ((entry.type & IO_MEM) != 0) {
                    w.WriteBytes(reinterpret_cast<const uint8_t*>(entry.data.data()),
                                 static_cast<int>(entry.data.size()));
                }
            }
            for (const Termination& term : terms) {
                w.WriteInt(term.type).WriteInt(term.number).WriteInt(term.length);
                w.WriteInt(0).WriteInt(0);
            }
            w.WriteInt(format.file_format)
                .WriteInt(format.data_format)
                .WriteUInt(format.samples)
                .WriteInt(format.bits);
            if (tail) {
                tail(w);
            }
        });
    }

    void SendOpen(int32_t code, uint32_t vhandle, const std::string& name, int32_t flags,
                  uint32_t size, uint32_t crc) {
        peer_->Send(code, 40, [&](net::COutputStreamSocket& w) {
            w.WriteUInt(vhandle).WriteString(name).WriteInt(flags).WriteInt(0x180);
            w.WriteUInt(size).WriteUInt(crc);
        });
    }

    // Fetches a prompt into the cache and opens it under the virtual handle.
    void OpenPrompt(uint32_t vhandle, const std::string& content) {
        SendOpen(kDXFOPE, vhandle, "C:\\VOX\\PROMPT.VOX", kReadBinary, content.size(),
                 CrcOf(content));
        const std::optional<std::string> line = file_peer_->ReadLine();
        ASSERT_TRUE(line && line->rfind("REQFIL ", 0) == 0);
        const size_t idEnd = line->find(' ', 7);
        file_peer_->SendText("TXFILE " + line->substr(7, idEnd - 7) + " 1 0 " +
                             line->substr(line->rfind(' ') + 1) + " " +
                             std::to_string(content.size()) + "\r" + content);
        const std::optional<Payload> opened = NextMessage(9);
        ASSERT_TRUE(opened);
        EXPECT_EQ(LeadingInts(*opened),
                  (std::vector<int32_t>{9, static_cast<int32_t>(vhandle),
                                        static_cast<int32_t>(content.size())}));
    }

    void OpenRecordFile(uint32_t vhandle, const std::string& name) {
        SendOpen(kRECFOPE, vhandle, name, kCreateReadWriteBinary, 0, 0);
        const std::optional<Payload> opened = NextMessage(9);
        ASSERT_TRUE(opened);
        EXPECT_EQ(LeadingInts(*opened),
                  (std::vector<int32_t>{9, static_cast<int32_t>(vhandle), 0}));
    }

    std::vector<int32_t> NextInts(int32_t code) {
        const std::optional<Payload> payload = NextMessage(code);
        return payload ? LeadingInts(*payload) : std::vector<int32_t>{};
    }

    std::vector<std::string> JournalCallsOf(const std::string& function) const {
        std::vector<std::string> lines;
        for (const std::string& line : Journal()) {
            if (line.find(" " + function + "(") != std::string::npos) {
                lines.push_back(line);
            }
        }
        return lines;
    }

    // The channel's voice as the simulated board reports it.
    std::string Voice() { return Control("query voice dxxxB1C1"); }

    fs::path Copy(const std::string& below) const { return work_.path() / "FileCache" / below; }

    // The recording's file once its close has written it whole.
    std::string Recorded(const std::string& below, size_t size) {
        std::string content;
        EXPECT_TRUE(ruzd::testing::Eventually([&] {
            content = ReadAll(Copy(below));
            return content.size() >= size;
        })) << content.size();
        return content;
    }

    ruzd::testing::TempWorkFolder work_;
};

TEST_F(PlayRecordCommandsTest, APromptFromTheCachePlaysToItsEnd) {
    OpenChannel();
    std::string prompt(5000, '\0');
    for (size_t i = 0; i < prompt.size(); ++i) {
        prompt[i] = static_cast<char>(i * 7 % 253);
    }
    OpenPrompt(1, prompt);
    // The lone termination entry with number 0 hands the library no table.
    SendTransfer(kDXPIOT, 0, {{IO_EOT, 1, 0, -1, ""}}, {{IO_EOT, 0, 0}});
    EXPECT_EQ(NextInts(5), (std::vector<int32_t>{5, kChannel, TM_EOD, 5000}));
    EXPECT_THAT(Voice(), EndsWith("played=5000:" + std::to_string(CrcOf(prompt))));
    EXPECT_THAT(JournalCallsOf("dx_playiottdata"), Contains(HasSubstr(", NULL, 0x")));
}

TEST_F(PlayRecordCommandsTest, MemoryEntriesPlayWhatTheFrameCarried) {
    OpenChannel();
    const std::string data(800, 'm');
    SendTransfer(kDXPIOT, 0, {{IO_MEM | IO_EOT, 0, 0, 800, data}}, {{IO_EOT, DX_MAXTIME, 100}});
    EXPECT_EQ(NextInts(5), (std::vector<int32_t>{5, kChannel, TM_EOD, 800}));
    EXPECT_THAT(Voice(), EndsWith("played=800:" + std::to_string(CrcOf(data))));

    // A byte string carries at most 65535 bytes: a longer prompt travels in several entries.
    const std::string prompt = VaryingBytes(160000, 7, 253);
    SendTransfer(kDXPIOT, 0,
                 {{IO_MEM | IO_CONT, 0, 0, 65535, prompt.substr(0, 65535)},
                  {IO_MEM | IO_CONT, 0, 0, 65535, prompt.substr(65535, 65535)},
                  {IO_MEM | IO_EOT, 0, 0, 28930, prompt.substr(131070)}},
                 {{IO_EOT, 0, 0}});
    EXPECT_EQ(NextInts(5), (std::vector<int32_t>{5, kChannel, TM_EOD, 160000}));
    EXPECT_THAT(Voice(), EndsWith("played=160000:" + std::to_string(CrcOf(prompt))));
}

TEST_F(PlayRecordCommandsTest, AnUnknownFileOrAMalformedMemoryEntryPlaysNothing) {
    OpenChannel();
    SendTransfer(kDXPIOT, 0, {{IO_EOT, 99, 0, -1, ""}}, {{IO_EOT, 0, 0}});
    EXPECT_EQ(NextInts(5), (std::vector<int32_t>{5, kChannel, kMadeUpEnd, -2}));
    // A length beyond what is left of the frame.
    SendTransfer(kDXPIOT, 0, {{IO_MEM | IO_EOT, 0, 0, 100000, ""}}, {});
    EXPECT_EQ(NextInts(5), (std::vector<int32_t>{5, kChannel, kMadeUpEnd, -2}));
    EXPECT_EQ(Control("query calls dx_playiottdata"), "OK 0");
}

TEST_F(PlayRecordCommandsTest, SixtyEntriesAreCutAtFiftyOneAndTheGuardEndsTheList) {
    OpenChannel();
    std::vector<Entry> entries(60, Entry{IO_MEM | IO_CONT, 0, 0, 8, "12345678"});
    SendTransfer(kDXPIOT, 0, entries, {{IO_EOT, 0, 0}});
    // 51 entries of 8 bytes; the rest of the frame was read as terminations.
    EXPECT_EQ(NextInts(5), (std::vector<int32_t>{5, kChannel, TM_EOD, 51 * 8}));
}

TEST_F(PlayRecordCommandsTest, ASecondPlayStopsTheFirst) {
    OpenChannel();
    // Media time held: the first play is still running when the second comes.
    ASSERT_EQ(Control("speed 0"), "OK");
    const std::string data(16000, 'a');
    SendTransfer(kDXPIOT, 0, {{IO_MEM | IO_EOT, 0, 0, 16000, data}}, {{IO_EOT, 0, 0}});
    ASSERT_TRUE(
        ruzd::testing::Eventually([&] { return Voice().find("state=2") != std::string::npos; }));
    SendTransfer(kDXPIOT, 0, {{IO_MEM | IO_EOT, 0, 0, 160, std::string(160, 'b')}},
                 {{IO_EOT, 0, 0}});
    EXPECT_EQ(NextInts(5)[2], TM_USRSTOP);
    ASSERT_EQ(Control("speed 1000"), "OK");
    EXPECT_EQ(NextInts(5), (std::vector<int32_t>{5, kChannel, TM_EOD, 160}));
}

TEST_F(PlayRecordCommandsTest, ARunningFunctionKeepsItsTransferSetAndABusyChannelPilesNoneUp) {
    OpenChannel();
    const auto tone = [this] {
        peer_->Send(kDXPLTO, 70, [](net::COutputStreamSocket& w) {
            w.WriteUInt(kChannel).WriteInt(0).WriteInt(425).WriteInt(0).WriteInt(-10).WriteInt(0);
            w.WriteInt(1).WriteInt(IO_EOT).WriteInt(0).WriteInt(0).WriteInt(0).WriteInt(0);
        });
        Sync();
    };
    ASSERT_EQ(Control("speed 0"), "OK");
    // Each play on the busy channel stops the one before and takes its place: only the running
    // play's set is kept.
    for (int play = 0; play < 20; ++play) {
        SendTransfer(kDXPIOT, 0, {{IO_MEM | IO_EOT, 0, 0, 160, std::string(160, 'a')}},
                     {{IO_EOT, 0, 0}});
    }
    Sync();
    EXPECT_EQ(manager_->Transfers().Size(), 1u);
    // Tones on the busy channel are refused: their sets go, the play keeps its own.
    for (int refused = 0; refused < 5; ++refused) {
        tone();
    }
    EXPECT_EQ(manager_->Transfers().Size(), 1u);
    ASSERT_EQ(Control("speed 1000"), "OK");
    std::vector<int32_t> end;
    do {
        end = NextInts(5);
    } while (end.size() == 4 && end[2] == TM_USRSTOP);
    EXPECT_EQ(end, (std::vector<int32_t>{5, kChannel, TM_EOD, 160}));
    // Idle again: the next command frees the older sets.
    tone();
    EXPECT_EQ(manager_->Transfers().Size(), 1u);
    // The end of the session frees the rest.
    peer_.reset();
    EXPECT_TRUE(ruzd::testing::Eventually([&] { return manager_->Transfers().Size() == 0; }));
}

TEST_F(PlayRecordCommandsTest, ARecordingOfThreeSecondsHoldsWhatTheChannelHeard) {
    OpenChannel();
    std::string source(40000, '\0');
    for (size_t i = 0; i < source.size(); ++i) {
        source[i] = static_cast<char>(i * 13 % 241);
    }
    std::ofstream(work_.path() / "source.raw", std::ios::binary) << source;
    ASSERT_EQ(Control("source dxxxB1C1 file " + (work_.path() / "source.raw").string()), "OK");
    OpenRecordFile(5, "C:\\REC\\CALL.VOX");
    SendTransfer(kDXRIOT, 0x8000, {{IO_EOT, 5, 0, -1, ""}}, {{IO_EOT, DX_MAXTIME, 30}});
    EXPECT_EQ(NextInts(13), (std::vector<int32_t>{13, kChannel, TM_MAXTIME, 24000}));
    // Without the start tone.
    EXPECT_THAT(JournalCallsOf("dx_reciottdata"), Contains(EndsWith(", 32768) = 0")));
    peer_->Send(kRECFCLO, 51, [](net::COutputStreamSocket& w) { w.WriteUInt(5); });
    EXPECT_EQ(Recorded("C/REC/CALL.VOX", 24000), source.substr(0, 24000));
}

// A WAVE recording in each data format, read back by sox: the header tells what the data is and
// how long it lasts, and the samples decode to what the channel heard, as sox itself turns the
// heard A-law into that format. A format the boards cannot write is recorded as A-law.
TEST_F(PlayRecordCommandsTest, AWaveRecordingReadsInSoxAsWhatTheChannelHeard) {
    struct Coding {
        const char* name;
        uint16_t data_format;
        uint32_t rate;  // as the format block gives it: a rate or a rate code
        uint16_t bits;
        const char* encoding;  // as soxi names it, and as sox takes it
        const char* sox_encoding;
        int record_bits;
        bool fact;  // the fact chunk, with the sample count, that non-PCM data needs
    };
    const Coding codings[] = {
        {"A-law", DATA_FORMAT_ALAW, 8000, 8, "A-law", "a-law", 8, true},
        {"mu-law", DATA_FORMAT_MULAW, DRT_8KHZ, 8, "u-law", "u-law", 8, true},
        {"16-bit PCM", DATA_FORMAT_PCM, 8000, 16, "Signed Integer PCM", "signed-integer", 16,
         false},
        {"8-bit PCM", DATA_FORMAT_PCM, 8000, 8, "Unsigned Integer PCM", "unsigned-integer", 8,
         false},
        {"Dialogic ADPCM", DATA_FORMAT_DIALOGIC_ADPCM, 8000, 4, "A-law", "a-law", 8, true},
    };
    constexpr size_t kSamples = 4000;  // half a second
    OpenChannel();
    const std::string heard = VaryingBytes(kSamples * 4, 13, 241);
    std::ofstream(work_.path() / "heard.al", std::ios::binary) << heard;
    ASSERT_EQ(Control("source dxxxB1C1 file " + (work_.path() / "heard.al").string()), "OK");
    std::ofstream(work_.path() / "first.al", std::ios::binary) << heard.substr(0, kSamples);

    uint32_t vhandle = 20;
    for (const Coding& coding : codings) {
        SCOPED_TRACE(coding.name);
        ++vhandle;
        const std::string name = "C" + std::to_string(vhandle) + ".WAV";
        OpenRecordFile(vhandle, "C:\\REC\\" + name);
        SendTransfer(kDXRIOT, 0x8000, {{IO_EOT, static_cast<int32_t>(vhandle), 0, -1, ""}},
                     {{IO_EOT, DX_MAXTIME, 5}},
                     {FILE_FORMAT_WAVE, coding.rate, coding.bits, coding.data_format});
        const int32_t bytes = static_cast<int32_t>(kSamples) * coding.record_bits / 8;
        EXPECT_EQ(NextInts(13), (std::vector<int32_t>{13, kChannel, TM_MAXTIME, bytes}));
        peer_->Send(kRECFCLO, 52, [=](net::COutputStreamSocket& w) { w.WriteUInt(vhandle); });
        const size_t header = coding.fact ? 58 : 44;
        const std::string content = Recorded("C/REC/" + name, header + static_cast<size_t>(bytes));
        EXPECT_EQ(content.size(), header + static_cast<size_t>(bytes));
        if (coding.fact) {
            uint32_t count = 0;
            std::memcpy(&count, content.data() + 46, sizeof count);
            EXPECT_EQ(content.substr(38, 4), "fact");
            EXPECT_EQ(count, kSamples);
        }

        const std::string file = Copy("C/REC/" + name).string();
        EXPECT_EQ(Sox(kSoxi, {"-e", file}), std::string(coding.encoding) + "\n");
        EXPECT_EQ(Sox(kSoxi, {"-b", file}), std::to_string(coding.record_bits) + "\n");
        EXPECT_EQ(Sox(kSoxi, {"-r", file}), "8000\n");
        EXPECT_EQ(Sox(kSoxi, {"-c", file}), "1\n");
        EXPECT_EQ(Sox(kSoxi, {"-s", file}), std::to_string(kSamples) + "\n");

        // sox's own rendering of what was heard in this format is the measure of the samples.
        const std::string expected = (work_.path() / "expected.wav").string();
        Sox(kSox, {"-D", "-t", "al", "-r", "8000", "-c", "1", (work_.path() / "first.al").string(),
                   "-e", coding.sox_encoding, "-b", std::to_string(coding.record_bits), expected});
        const std::string samples =
            Sox(kSox, {file, "-t", "raw", "-e", "signed-integer", "-b", "16", "-"});
        const std::string measure =
            Sox(kSox, {expected, "-t", "raw", "-e", "signed-integer", "-b", "16", "-"});
        ASSERT_EQ(samples.size(), kSamples * 2);
        const auto same = static_cast<size_t>(
            std::mismatch(samples.begin(), samples.end(), measure.begin(), measure.end()).first -
            samples.begin());
        EXPECT_EQ(same, samples.size()) << "the samples differ from byte " << same;
    }
}

// The start tone goes before the recording, which then holds what the channel heard.
TEST_F(PlayRecordCommandsTest, ARecordingWithTheStartToneBeginsAfterIt) {
    OpenChannel();
    const std::string heard = VaryingBytes(8000, 7, 253);
    std::ofstream(work_.path() / "heard.al", std::ios::binary) << heard;
    ASSERT_EQ(Control("source dxxxB1C1 file " + (work_.path() / "heard.al").string()), "OK");
    OpenRecordFile(6, "C:\\REC\\CALL.VOX");
    // Mode 1 records with the start tone.
    SendTransfer(kDXRIOT, 1, {{IO_EOT, 6, 0, -1, ""}}, {{IO_EOT, DX_MAXTIME, 5}}, {1, 8000, 8});
    EXPECT_EQ(NextInts(13), (std::vector<int32_t>{13, kChannel, TM_MAXTIME, 4000}));
    EXPECT_THAT(JournalCallsOf("dx_reciottdata"), Contains(EndsWith(", 32769) = 0")));
    peer_->Send(kRECFCLO, 52, [](net::COutputStreamSocket& w) { w.WriteUInt(6); });
    EXPECT_EQ(Recorded("C/REC/CALL.VOX", 4000), heard.substr(0, 4000));
}

TEST_F(PlayRecordCommandsTest, ARecordingBeyondThreeHundredThousandBytesIsWhole) {
    OpenChannel();
    ASSERT_EQ(Control("source dxxxB1C1 pattern 7"), "OK");
    OpenRecordFile(7, "C:\\REC\\LONG.VOX");
    SendTransfer(kDXRIOT, 0, {{IO_EOT, 7, 0, -1, ""}}, {{IO_EOT, DX_MAXTIME, 400}});
    EXPECT_EQ(NextInts(13), (std::vector<int32_t>{13, kChannel, TM_MAXTIME, 320000}));
    peer_->Send(kRECFCLO, 53, [](net::COutputStreamSocket& w) { w.WriteUInt(7); });
    EXPECT_EQ(Recorded("C/REC/LONG.VOX", 320000).size(), 320000u);
}

TEST_F(PlayRecordCommandsTest, ARecordingThatCannotBeWrittenEndsAsARecording) {
    OpenChannel();
    // A record file opened for reading only: the first buffer written out fails.
    fs::create_directories(Copy("C/REC"));
    std::ofstream(Copy("C/REC/LOCKED.VOX"));
    SendOpen(kRECFOPE, 10, "C:\\REC\\LOCKED.VOX", kReadBinary, 0, 0);
    ASSERT_EQ(NextInts(9), (std::vector<int32_t>{9, 10, 0}));
    SendTransfer(kDXRIOT, 0, {{IO_EOT, 10, 0, -1, ""}}, {{IO_EOT, DX_MAXTIME, 500}});
    // The node makes up the end of the recording only: the channel's last function.
    const std::vector<int32_t> end = NextInts(13);
    ASSERT_EQ(end.size(), 4u);
    EXPECT_EQ(end[2], kMadeUpEnd);
    EXPECT_THAT(DebugLines(), Contains(HasSubstr("Simulate EndRecord LastError=")));
    EXPECT_THAT(DebugLines(), Not(Contains(HasSubstr("Simulate EndPlay"))));
}

TEST_F(PlayRecordCommandsTest, TwoSourcesAreMixedIntoOneRecordFile) {
    OpenChannel();
    peer_->SendInts(kDXOPEN, 11, {6, 1, 2});
    ASSERT_TRUE(NextMessage(8).has_value());
    const std::string first = VaryingBytes(8000, 13, 241);
    const std::string second = VaryingBytes(8000, 7, 253);
    std::ofstream(work_.path() / "first.raw", std::ios::binary) << first;
    std::ofstream(work_.path() / "second.raw", std::ios::binary) << second;
    ASSERT_EQ(Control("source dxxxB1C2 file " + (work_.path() / "first.raw").string()), "OK");
    ASSERT_EQ(Control("source dxxxB1C3 file " + (work_.path() / "second.raw").string()), "OK");
    OpenRecordFile(8, "C:\\REC\\BOTH.VOX");
    // The second source is a position on an Amtelco cable (type 999): the position that the
    // cable, without a base of its own, puts on the third channel's slot.
    const std::string slot = Control("query slot dxxxB1C3");
    ASSERT_EQ(slot.rfind("OK slot=", 0), 0u) << slot;
    const int32_t position = 1023 - std::stoi(slot.substr(8));
    const auto sources = [position](net::COutputStreamSocket& w) {
        w.WriteLong(6).WriteInt(1).WriteLong(position).WriteInt(999).WriteInt(0).WriteInt(0);
    };
    SendTransfer(kDXMRIO, 0, {{IO_EOT, 8, 0, -1, ""}}, {{IO_EOT, DX_MAXTIME, 5}}, {}, sources);
    // The end of the recording comes as the channel's record end.
    EXPECT_EQ(NextInts(13), (std::vector<int32_t>{13, kChannel, TM_MAXTIME, 4000}));
    peer_->Send(kRECFCLO, 54, [](net::COutputStreamSocket& w) { w.WriteUInt(8); });
    const std::string mixed = Recorded("C/REC/BOTH.VOX", 4000);
    ASSERT_EQ(mixed.size(), 4000u);
    // Each byte is the sum of the two voices, within A-law's step at that level.
    for (size_t i = 0; i < mixed.size(); ++i) {
        const int sum = std::clamp(AlawValue(first[i]) + AlawValue(second[i]), -32768, 32767);
        ASSERT_LE(std::abs(AlawValue(mixed[i]) - sum), std::max(16, std::abs(sum) / 16)) << i;
    }

    // A start that fails is answered at once with the channel's last ending.
    ASSERT_EQ(Control("fail dx_mreciottdata -1 1"), "OK");
    OpenRecordFile(9, "C:\\REC\\NONE.VOX");
    SendTransfer(kDXMRIO, 1, {{IO_EOT, 9, 0, -1, ""}}, {{IO_EOT, DX_MAXTIME, 5}}, {}, sources);
    EXPECT_EQ(NextInts(13), (std::vector<int32_t>{13, kChannel, TM_MAXTIME, 4000}));
    EXPECT_THAT(DebugLines(), Contains(HasSubstr("dx_mreciottdata Error=")));
    const std::vector<std::string> calls = JournalCallsOf("dx_mreciottdata");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_THAT(calls[1], HasSubstr(", 32769, 0x")) << "with the start tone";
}

}  // namespace
}  // namespace ruzd::node
