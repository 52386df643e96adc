// The messages to the central server as the central server receives them: every frame is cut
// from the byte stream the way the central server's connection cuts it, and its payload is
// compared byte for byte with the fields written out by hand from the stream format.

#include "node/central_messages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/callback_output_stream.h"
#include "net/frame_cutter.h"
#include "net/input_stream_socket.h"

namespace ruzd::node {
namespace {

using Bytes = std::vector<uint8_t>;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;

// The payload of one message, written value by value from the stream format: integers in their
// shortest form, magnitudes big-endian; text and byte strings with their lengths.
class Wire {
public:
    Wire& I(int32_t value) {
        const uint32_t magnitude =
            value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
        if (value >= 0 && value <= 63) {
            Put(static_cast<uint8_t>(value));
        } else if (value < 0 && magnitude <= 56) {
            Put(static_cast<uint8_t>(0x40 | magnitude));
        } else if (magnitude <= 0xFF) {
            Put(value < 0 ? 0x7F : 0x7E);
            Put(static_cast<uint8_t>(magnitude));
        } else if (magnitude <= 0xFFFF) {
            Put(value < 0 ? 0x7D : 0x7C);
            PutBigEndian(magnitude, 2);
        } else {
            Put(value < 0 ? 0x7B : 0x7A);
            PutBigEndian(magnitude, 4);
        }
        return *this;
    }
    Wire& U(uint32_t value) {
        if (value <= 0x7FFFFFFF) {
            return I(static_cast<int32_t>(value));
        }
        Put(0x7A);
        PutBigEndian(value, 4);
        return *this;
    }
    // Text given as the bytes that go on the wire (Windows-1252).
    Wire& S(std::string_view cp1252) {
        PutLengthForm(0x80, 0xBF, 0xBE, cp1252.size());
        bytes_.insert(bytes_.end(), cp1252.begin(), cp1252.end());
        return *this;
    }
    Wire& B(const Bytes& data) {
        PutLengthForm(0xC0, 0xFF, 0xFE, data.size());
        bytes_.insert(bytes_.end(), data.begin(), data.end());
        return *this;
    }
    const Bytes& bytes() const { return bytes_; }

private:
    void Put(uint8_t byte) { bytes_.push_back(byte); }
    void PutBigEndian(uint32_t value, int count) {
        for (int shift = 8 * (count - 1); shift >= 0; shift -= 8) {
            Put(static_cast<uint8_t>(value >> shift));
        }
    }
    void PutLengthForm(uint8_t shortBase, uint8_t tag8, uint8_t tag16, size_t length) {
        if (length <= 61) {
            Put(static_cast<uint8_t>(shortBase + length));
        } else if (length <= 0xFF) {
            Put(tag8);
            Put(static_cast<uint8_t>(length));
        } else {
            Put(tag16);
            PutBigEndian(static_cast<uint32_t>(length), 2);
        }
    }
    Bytes bytes_;
};

// A writer standing in for a connection: it keeps the byte stream the peer would receive.
class Connection : public net::CCallbackOutputStream {
public:
    Connection()
        : CCallbackOutputStream(
              [this](const uint8_t* frame, int length, const std::string&, unsigned) {
                  std::lock_guard lock(mutex_);
                  stream_.insert(stream_.end(), frame, frame + length);
              }) {}

    // The payloads the central server cuts from the stream, in order.
    std::vector<Bytes> Received() const {
        std::lock_guard lock(mutex_);
        std::vector<Bytes> payloads;
        net::CFrameCutter cutter(net::CFrameCutter::Side::kClient);
        cutter.Append(stream_.data(), stream_.size(), [&](const uint8_t* payload, int length) {
            payloads.emplace_back(payload, payload + length);
        });
        EXPECT_EQ(cutter.Buffered(), 0u) << "bytes left that make no frame";
        return payloads;
    }

    // The one message received.
    Bytes Only() const {
        const std::vector<Bytes> payloads = Received();
        EXPECT_THAT(payloads, SizeIs(1));
        return payloads.empty() ? Bytes() : payloads[0];
    }

private:
    mutable std::mutex mutex_;
    Bytes stream_;
};

Bytes Filled(size_t size, uint8_t first) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(first + i);
    }
    return bytes;
}

class CentralMessagesTest : public ::testing::Test {
protected:
    CentralMessages messages_;
    Connection connection_;
};

TEST_F(CentralMessagesTest, SessionMessages) {
    EXPECT_TRUE(messages_.PingEcho(connection_, 4711));
    EXPECT_TRUE(messages_.ClientSocketInitialized(connection_));
    EXPECT_TRUE(messages_.StopRequest(connection_));
    EXPECT_THAT(connection_.Received(),
                ElementsAre(Bytes{0x01, 0x7C, 0x12, 0x67}, Bytes{0x02}, Bytes{0x03}));
}

TEST_F(CentralMessagesTest, PingEchoCarriesAnyValue) {
    for (int32_t value : {0, -1, 63, 64, -57, INT32_MIN, INT32_MAX}) {
        Connection connection;
        messages_.PingEcho(connection, value);
        EXPECT_EQ(connection.Only(), Wire().I(1).I(value).bytes()) << value;
    }
}

TEST_F(CentralMessagesTest, InitReplyTextsGoAsWindows1252) {
    InitReplyFields init;
    init.fileVersion = "1.0.0.0d";
    init.globalCallInitialised = true;
    init.intelIpBoards = false;
    init.withoutWindow = true;
    init.dialogicRelease = "Système Release 6.0.123";
    EXPECT_TRUE(messages_.InitReply(connection_, init));
    EXPECT_EQ(connection_.Only(),
              Wire().I(31).S("1.0.0.0d").I(1).I(0).I(1).S("Syst\xE8me Release 6.0.123").bytes());
}

TEST_F(CentralMessagesTest, InitReplyReadsBackInOrder) {
    messages_.InitReply(connection_, {"2.3.4.5", false, true, false, ""});
    const Bytes payload = connection_.Only();
    net::CInputStreamSocket reader(payload.data(), static_cast<int>(payload.size()));
    int32_t code = 0, globalCall = 0, ipBoards = 0, withoutWindow = 0;
    std::string version, release;
    reader.ReadInt(code)
        .ReadString(version)
        .ReadInt(globalCall)
        .ReadInt(ipBoards)
        .ReadInt(withoutWindow)
        .ReadString(release);
    EXPECT_TRUE(reader.IsOk());
    EXPECT_FALSE(reader.HasMoreData());
    EXPECT_EQ(code, 31);
    EXPECT_EQ(version, "2.3.4.5");
    EXPECT_EQ(globalCall, 0);
    EXPECT_EQ(ipBoards, 1);
    EXPECT_EQ(withoutWindow, 0);
    EXPECT_EQ(release, "");
}

TEST_F(CentralMessagesTest, ChannelText) {
    EXPECT_TRUE(messages_.ChannelText(&connection_, 17, "Preis 5 € – ok"));
    EXPECT_TRUE(messages_.ChannelText(&connection_, 0, ""));
    EXPECT_THAT(connection_.Received(),
                ElementsAre(Wire().I(38).I(17).S("Preis 5 \x80 \x96 ok").bytes(),
                            Wire().I(38).I(0).S("").bytes()));
}

TEST_F(CentralMessagesTest, ChannelTextWithoutListenerSendsNothing) {
    EXPECT_FALSE(messages_.ChannelText(nullptr, 5, "nobody listens"));
    EXPECT_FALSE(messages_.ChannelTextF(nullptr, 5, "%s", "nobody listens"));
}

TEST_F(CentralMessagesTest, FormattedChannelText) {
    EXPECT_TRUE(messages_.ChannelTextF(&connection_, 3,
                                       "gc_MakeCall GC Error = %d - %s, CCLib = %d - %s", -1,
                                       "EGC_TIMEOUT", 8, "GC_IPM_LIB"));
    EXPECT_EQ(connection_.Only(),
              Wire()
                  .I(38)
                  .I(3)
                  .S("gc_MakeCall GC Error = -1 - EGC_TIMEOUT, CCLib = 8 - GC_IPM_LIB")
                  .bytes());
}

TEST_F(CentralMessagesTest, FormattedTextIsCutTo1022Characters) {
    const std::string long_text(2000, 'x');
    EXPECT_TRUE(messages_.ChannelTextF(&connection_, 9, "%s", long_text.c_str()));
    EXPECT_EQ(connection_.Only(), Wire().I(38).I(9).S(std::string(1022, 'x')).bytes());
}

TEST_F(CentralMessagesTest, FormattedTextCutCountsCharactersNotBytes) {
    // 1100 euro signs: three bytes each inside, one on the wire.
    std::string euros;
    for (int i = 0; i < 1100; ++i) {
        euros += "€";
    }
    messages_.ChannelTextF(&connection_, 1, "%s", euros.c_str());
    EXPECT_EQ(connection_.Only(), Wire().I(38).I(1).S(std::string(1022, '\x80')).bytes());
}

TEST(CutToUtf16Units, KeepsShortTextAndNeverSplitsAPair) {
    EXPECT_EQ(CutToUtf16Units("abc", 3), "abc");
    EXPECT_EQ(CutToUtf16Units("abcd", 3), "abc");
    EXPECT_EQ(CutToUtf16Units("", 0), "");
    // U+1F600 takes two UTF-16 units: cutting between them drops the whole character.
    EXPECT_EQ(CutToUtf16Units("ab\xF0\x9F\x98\x80", 3), "ab");
    EXPECT_EQ(CutToUtf16Units("ab\xF0\x9F\x98\x80z", 4), "ab\xF0\x9F\x98\x80");
}

TEST_F(CentralMessagesTest, VoiceCompletions) {
    messages_.VoiceFunctionDone(connection_, 12, 0x84);
    messages_.VoiceFunctionDone(connection_, 12, 132, -7);
    messages_.EndOfPlay(connection_, 12, 0x2B67, -2);
    messages_.EndOfRecord(connection_, 12, 0x40, 160000);
    messages_.EndOfTone(connection_, 12, 0, 0x89);
    messages_.Digits(connection_, 12, "123#", "0000", 0x10, -1);
    messages_.Digits(connection_, 12, "X", "", 0, 0);
    messages_.CallProgressResult(connection_, 12, {0x0A, 1, 2, 3, 4});
    EXPECT_THAT(
        connection_.Received(),
        ElementsAre(Wire().I(4).I(12).I(0x84).bytes(), Wire().I(4).I(12).I(132).I(-7).bytes(),
                    Wire().I(5).I(12).I(11111).I(-2).bytes(),
                    Wire().I(13).I(12).I(0x40).I(160000).bytes(),
                    Wire().I(6).I(12).I(0).I(0x89).bytes(),
                    Wire().I(10).I(12).S("123#").S("0000").I(0x10).I(-1).bytes(),
                    Wire().I(10).I(12).S("X").S("").I(0).I(0).bytes(),
                    Wire().I(23).I(12).I(0x0A).I(1).I(2).I(3).I(4).bytes()));
}

TEST_F(CentralMessagesTest, VoiceChannelReplies) {
    const Bytes qualification = Filled(32, 0xE0);
    messages_.VoiceOpenResult(connection_, 7, 0x1F, -1);
    messages_.ToneTemplate(connection_, 7, 0, ByteView(qualification));
    messages_.ToneTemplate(connection_, 0x80000001u, -1, std::nullopt);
    messages_.FileOpenResult(connection_, 0xFFFFFFFEu, 48000);
    messages_.FileOpenResult(connection_, 1, -1);
    EXPECT_THAT(connection_.Received(), ElementsAre(Wire().I(8).I(7).I(0x1F).I(-1).bytes(),
                                                    Wire().I(24).U(7).I(0).B(qualification).bytes(),
                                                    Wire().I(24).U(0x80000001u).I(-1).bytes(),
                                                    Wire().I(9).U(0xFFFFFFFEu).I(48000).bytes(),
                                                    Wire().I(9).U(1).I(-1).bytes()));
}

TEST_F(CentralMessagesTest, FileOpenResultReadsBackAsUnsignedHandle) {
    messages_.FileOpenResult(connection_, 0xFFFFFFFEu, -1);
    const Bytes payload = connection_.Only();
    net::CInputStreamSocket reader(payload.data(), static_cast<int>(payload.size()));
    int32_t code = 0, length = 0;
    uint32_t handle = 0;
    reader.ReadInt(code).ReadUInt(handle).ReadInt(length);
    EXPECT_TRUE(reader.IsOk());
    EXPECT_EQ(code, 9);
    EXPECT_EQ(handle, 0xFFFFFFFEu);
    EXPECT_EQ(length, -1);
}

class DeviceEventTest : public CentralMessagesTest {
protected:
    // ISDN line 31, handle 0x1234, an event with CRN 0x2000001.
    static DeviceEventRecord Record(int32_t event) { return {31, 3, 0x1234, event, 0x2000001}; }
    static Wire RecordWire(int32_t event) {
        Wire wire;
        wire.I(12).I(31).I(3).I(0x1234).I(event).I(0x2000001);
        return wire;
    }
};

TEST_F(DeviceEventTest, WithoutTailAndWithWord) {
    messages_.DeviceEvent(connection_, Record(0x801));
    messages_.DeviceEventWithWord(connection_, {1000002, 3, 77, 0x2049, 0}, 1);
    messages_.DeviceEventWithWord(connection_, {5, 5, 9, 0x204D, 0}, 0x11);
    EXPECT_THAT(connection_.Received(),
                ElementsAre(RecordWire(0x801).bytes(),
                            Wire().I(12).I(1000002).I(3).I(77).I(0x2049).I(0).I(1).bytes(),
                            Wire().I(12).I(5).I(5).I(9).I(0x204D).I(0).I(0x11).bytes()));
}

TEST_F(DeviceEventTest, UnknownPortTypeGoesAsMinusOne) {
    messages_.DeviceEvent(connection_, {4, -1, 300, 0x806, 0});
    EXPECT_EQ(connection_.Only(), Wire().I(12).I(4).I(-1).I(300).I(0x806).I(0).bytes());
}

TEST_F(DeviceEventTest, ExtensionDataIsLengthThenBytesOrZero) {
    const Bytes data = {0xAA, 0x00, 0x55};
    const Bytes none;
    messages_.DeviceEventWithExtensionData(connection_, Record(0x807), ByteView(data));
    messages_.DeviceEventWithExtensionData(connection_, Record(0x821), std::nullopt);
    messages_.DeviceEventWithExtensionData(connection_, Record(0x886), ByteView(none));
    EXPECT_THAT(connection_.Received(),
                ElementsAre(RecordWire(0x807).I(3).B(data).bytes(), RecordWire(0x821).I(0).bytes(),
                            RecordWire(0x886).I(0).bytes()));
}

TEST_F(DeviceEventTest, InformationElementsAreSizedBlockOrZero) {
    const Bytes block = Filled(262, 0);
    messages_.DeviceEventMoreDigits(connection_, Record(0x80C), "0301234", ByteView(block));
    messages_.DeviceEventMoreDigits(connection_, Record(0x80C), "", std::nullopt);
    messages_.DeviceEventFacility(connection_, Record(0x82A), ByteView(block));
    messages_.DeviceEventFacility(connection_, Record(0x82A), std::nullopt);
    EXPECT_THAT(
        connection_.Received(),
        ElementsAre(RecordWire(0x80C).S("0301234").I(262).B(block).bytes(),
                    RecordWire(0x80C).S("").I(0).bytes(), RecordWire(0x82A).I(262).B(block).bytes(),
                    RecordWire(0x82A).I(0).bytes()));
}

TEST_F(DeviceEventTest, Offered) {
    const Bytes block = Filled(262, 0x10);
    OfferedCall call;
    call.callState = 2;
    call.dialledNumber = "200";
    call.callingNumber = "0612345678";
    call.resultValue = 0x10;
    call.infoElements = ByteView(block);
    call.callInformation = -3;
    messages_.DeviceEventOffered(connection_, Record(0x824), call);
    call.infoElements.reset();
    call.callInformation = 0;
    messages_.DeviceEventOffered(connection_, Record(0x824), call);
    EXPECT_THAT(
        connection_.Received(),
        ElementsAre(
            RecordWire(0x824).I(2).S("200").S("0612345678").I(0x10).I(262).B(block).I(-3).bytes(),
            RecordWire(0x824).I(2).S("200").S("0612345678").I(0x10).I(0).I(0).bytes()));
}

TEST_F(DeviceEventTest, OfferedReadsBackAsTheCentralServerReadsIt) {
    const Bytes block = Filled(262, 1);
    messages_.DeviceEventOffered(connection_, Record(0x824),
                                 {4, "2001", "anonymous", -2, ByteView(block), 1});
    const Bytes payload = connection_.Only();
    net::CInputStreamSocket reader(payload.data(), static_cast<int>(payload.size()));
    int32_t code, ldev, type, handle, event, crn, state, result, size, info;
    std::string dnis, ani;
    std::array<uint8_t, 262> received{};
    reader.ReadInt(code).ReadInt(ldev).ReadInt(type).ReadInt(handle).ReadInt(event).ReadInt(crn);
    reader.ReadInt(state).ReadString(dnis).ReadString(ani).ReadInt(result).ReadLong(size);
    EXPECT_TRUE(reader.ReadBytes(received.data(), 262));
    reader.ReadInt(info);
    EXPECT_TRUE(reader.IsOk());
    EXPECT_FALSE(reader.HasMoreData());
    EXPECT_EQ(ldev, 31);
    EXPECT_EQ(event, 0x824);
    EXPECT_EQ(crn, 0x2000001);
    EXPECT_EQ(dnis, "2001");
    EXPECT_EQ(ani, "anonymous");
    EXPECT_EQ(result, -2);
    EXPECT_EQ(size, 262);
    EXPECT_EQ(Bytes(received.begin(), received.end()), block);
    EXPECT_EQ(info, 1);
}

TEST_F(DeviceEventTest, Disconnected) {
    const Bytes data = {1, 2};
    messages_.DeviceEventDisconnected(connection_, Record(0x826), 16, ByteView(data));
    messages_.DeviceEventDisconnected(connection_, Record(0x826), 0x1F, std::nullopt);
    EXPECT_THAT(connection_.Received(), ElementsAre(RecordWire(0x826).I(16).I(2).B(data).bytes(),
                                                    RecordWire(0x826).I(0x1F).I(0).bytes()));
}

TEST_F(DeviceEventTest, Alarm) {
    const Bytes alarms = Filled(388, 0x33);
    messages_.DeviceEventAlarm(connection_, Record(0x862), 0xFFFFFFFFu, 0x107, ByteView(alarms));
    EXPECT_EQ(connection_.Only(),
              RecordWire(0x862).U(0xFFFFFFFFu).I(0x107).I(388).B(alarms).bytes());
}

TEST_F(DeviceEventTest, Extension) {
    const Bytes data = Filled(70, 0x41);
    messages_.DeviceEventExtension(connection_, Record(0x868), ExtensionData{0x11, data});
    messages_.DeviceEventExtension(connection_, Record(0x868), std::nullopt);
    EXPECT_THAT(connection_.Received(), ElementsAre(RecordWire(0x868).I(0x11).I(70).B(data).bytes(),
                                                    RecordWire(0x868).I(0).I(0).bytes()));
}

TEST_F(DeviceEventTest, ServiceResponse) {
    const Bytes data = {9, 8, 7, 6};
    messages_.DeviceEventServiceResponse(connection_, Record(0x870), ByteView(data),
                                         "Registration accepted");
    messages_.DeviceEventServiceResponse(connection_, Record(0x870), std::nullopt, "Échec");
    EXPECT_THAT(connection_.Received(),
                ElementsAre(RecordWire(0x870).I(0).I(4).B(data).S("Registration accepted").bytes(),
                            RecordWire(0x870)
                                .I(0)
                                .I(0)
                                .I(0)
                                .S("\xC9"
                                   "chec")
                                .bytes()));
}

TEST_F(CentralMessagesTest, CallControlReplies) {
    messages_.InfoElementText(connection_, "0AFF", 0);
    messages_.InfoElementText(connection_, "", -1);
    messages_.BChannelState(connection_, 31, 2);
    messages_.DChannelState(connection_, 31, -1);
    messages_.LineDeviceState(connection_, 31, 1, -1);
    messages_.GlobalCallOpenResult(connection_, 7, 5, "iptB2");
    messages_.GlobalCallOpenResult(connection_, 7, 6, "");
    EXPECT_THAT(connection_.Received(),
                ElementsAre(Wire().I(11).S("0AFF").I(0).bytes(), Wire().I(11).S("").I(-1).bytes(),
                            Wire().I(14).I(31).I(2).bytes(), Wire().I(15).I(31).I(-1).bytes(),
                            Wire().I(32).I(31).I(1).I(-1).bytes(),
                            Wire().I(36).I(7).I(5).S("iptB2").bytes(),
                            Wire().I(36).I(7).I(6).S("").bytes()));
}

TEST_F(CentralMessagesTest, StationAndConferenceReplies) {
    messages_.RingResult(connection_, 40, -1);
    messages_.BoardParameterResult(connection_, 1000001, 0);
    messages_.HookState(connection_, 40, 16);
    messages_.FreeMsiConferenceResources(connection_, 77, -1);
    messages_.FreeDcbConferenceResources(connection_, 78, 2);
    messages_.DcbOpenResult(connection_, true);
    messages_.DcbOpenResult(connection_, false);
    EXPECT_THAT(connection_.Received(),
                ElementsAre(Wire().I(18).I(40).I(-1).bytes(), Wire().I(19).I(1000001).I(0).bytes(),
                            Wire().I(28).I(40).I(16).bytes(), Wire().I(30).I(77).I(-1).bytes(),
                            Wire().I(33).I(78).I(2).bytes(), Wire().I(34).I(1).bytes(),
                            Wire().I(34).I(0).bytes()));
}

TEST_F(CentralMessagesTest, AmtelcoAndRelayDigits) {
    messages_.AmtelcoBoardEvent(connection_, 3, 5, 7);
    messages_.AmtelcoBoardEvent(connection_, 3, 6, -1);
    messages_.RelayDigitResult(connection_, -1);
    EXPECT_THAT(connection_.Received(),
                ElementsAre(Wire().I(0).I(3).I(5).I(7).bytes(), Wire().I(0).I(3).I(6).I(-1).bytes(),
                            Wire().I(26).I(-1).bytes()));
}

TEST_F(CentralMessagesTest, AutoConfiguration) {
    const std::vector<BoardChannelRange> boards = {{1, 1, 8}, {2, 9, 10}};
    messages_.AutoConfiguration(connection_, 0, boards);
    messages_.AutoConfiguration(connection_, 9, {});
    EXPECT_THAT(connection_.Received(),
                ElementsAre(Wire().I(35).I(0).I(2).I(1).I(1).I(8).I(2).I(9).I(10).bytes(),
                            Wire().I(35).I(9).I(0).bytes()));
}

TEST_F(CentralMessagesTest, SipRegisterResult) {
    const std::vector<uint32_t> results = {0, 0xFFFFFFFFu};
    messages_.SipRegisterResult(connection_, 1234567, results);
    messages_.SipRegisterResult(connection_, -5, {});
    EXPECT_THAT(connection_.Received(),
                ElementsAre(Wire().I(37).I(1234567).I(0).I(2).U(0).U(0xFFFFFFFFu).bytes(),
                            Wire().I(37).I(-5).I(0).I(0).bytes()));
}

TEST_F(CentralMessagesTest, AculabCallMessages) {
    const Bytes details = Filled(3140, 0);
    const AculabCallEventRecord record{10001, 18, 2, 0x20, 0x7FFF0000};
    messages_.AculabCallEvent(connection_, {10001, 18, 2, 0, 0x7FFF0000});
    messages_.AculabCallEventWithDetails(connection_, record, ByteView(details));
    messages_.AculabCallEventWithValue(connection_, {10001, 18, 2, 0x200000, 0x7FFF0000}, 42);
    EXPECT_THAT(
        connection_.Received(),
        ElementsAre(
            Wire().I(21).I(10001).I(18).I(2).I(0).I(0x7FFF0000).bytes(),
            Wire().I(21).I(10001).I(18).I(2).I(0x20).I(0x7FFF0000).I(3140).B(details).bytes(),
            Wire().I(21).I(10001).I(18).I(2).I(0x200000).I(0x7FFF0000).I(42).bytes()));
}

TEST_F(CentralMessagesTest, AculabReplies) {
    const Bytes portInfo = Filled(124, 0x80);
    const Bytes cause = Filled(208, 0x20);
    messages_.AculabPortInfo(connection_, 2, 1, 0, ByteView(portInfo));
    messages_.AculabPortInfo(connection_, 2, 1, -1, std::nullopt);
    messages_.AculabCallCause(connection_, 10002, 1, 0, ByteView(cause));
    messages_.AculabCallCause(connection_, 10002, 1, -1, std::nullopt);
    messages_.VmpReserveResult(connection_, 10002, 0);
    EXPECT_THAT(
        connection_.Received(),
        ElementsAre(Wire().I(20).I(2).I(1).I(0).I(124).B(portInfo).bytes(),
                    Wire().I(20).I(2).I(1).I(-1).bytes(),
                    Wire().I(22).I(10002).I(1).I(0).I(208).B(cause).bytes(),
                    Wire().I(22).I(10002).I(1).I(-1).bytes(), Wire().I(25).I(10002).I(0).bytes()));
}

TEST_F(CentralMessagesTest, AculabCardNotifications) {
    const Bytes cardInfo = Filled(424, 3);
    const Bytes notification = Filled(100, 0x61);
    messages_.AculabIpCardEvent(connection_, 4, 0x1001, ByteView(cardInfo));
    messages_.AculabSystemEvent(connection_, 0, ByteView(notification));
    EXPECT_THAT(connection_.Received(),
                ElementsAre(Wire().I(27).I(4).I(0x1001).I(424).B(cardInfo).bytes(),
                            Wire().I(29).I(0).I(100).B(notification).bytes()));
}

TEST_F(CentralMessagesTest, RefusedValueDropsTheWholeMessage) {
    const std::string huge(70000, 'a');
    EXPECT_FALSE(messages_.ChannelText(&connection_, 1, huge));
    EXPECT_TRUE(messages_.PingEcho(connection_, 1));
    EXPECT_THAT(connection_.Received(), ElementsAre(Wire().I(1).I(1).bytes()));
}

TEST_F(CentralMessagesTest, MessagesOfSeveralThreadsStayWhole) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 200;
    const Bytes block = Filled(262, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                messages_.DeviceEventFacility(connection_, {t, 3, i, 0x82A, 0}, ByteView(block));
                messages_.ChannelTextF(&connection_, t, "thread %d message %d", t, i);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const std::vector<Bytes> received = connection_.Received();
    ASSERT_THAT(received, SizeIs(2 * kThreads * kPerThread));
    std::vector<int> nextEvent(kThreads, 0);
    for (const Bytes& payload : received) {
        net::CInputStreamSocket reader(payload.data(), static_cast<int>(payload.size()));
        int32_t code = 0, ldev = 0;
        reader.ReadInt(code).ReadInt(ldev);
        ASSERT_TRUE(ldev >= 0 && ldev < kThreads);
        if (code == 12) {
            int32_t type, handle, event, crn, size;
            std::array<uint8_t, 262> bytes{};
            reader.ReadInt(type).ReadInt(handle).ReadInt(event).ReadInt(crn).ReadLong(size);
            EXPECT_TRUE(reader.ReadBytes(bytes.data(), 262));
            // Each thread's events arrive in the order it sent them.
            EXPECT_EQ(handle, nextEvent[ldev]++);
        } else {
            std::string text;
            reader.ReadString(text);
            EXPECT_EQ(code, 38);
            EXPECT_THAT(text, ::testing::StartsWith("thread " + std::to_string(ldev) + " "));
        }
        EXPECT_TRUE(reader.IsOk());
        EXPECT_FALSE(reader.HasMoreData());
    }
}

}  // namespace
}  // namespace ruzd::node
