#pragma once

// Everything the node tells the central server, one operation per message. Each writes the
// message code and the message's fields, in the order the central server reads them, on the
// writer it is given and flushes it; the result is the writer's Flush (false when a send failed
// or a value was refused), which callers may ignore: a failed send is not retried.
//
// Two writers are in use. A reply goes on the writer of the received command, so that it
// reaches only the connection that sent the command; everything else (events, results that
// worker threads produce later, the node's own messages) goes on the command listener, which
// sends it to every connected peer. Each operation names the writer it expects, but any writer
// serves: a few messages are sent either way (4, 10, 13 and 23).
//
// The writer keeps one message under construction per thread, so operations of different
// threads on one writer never mix their fields.

#include <cstdarg>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "net/output_stream_socket.h"

namespace ruzd::node {

using ByteView = std::span<const uint8_t>;

// The five fields every device event (message 12) starts with.
struct DeviceEventRecord {
    int32_t ldev = 0;
    int32_t portType = 0;  // ePortType of the device, -1 when it could not be found
    int32_t handle = 0;    // the vendor's device handle
    int32_t eventCode = 0;
    int32_t crn = 0;  // the call reference, 0 when there is none
};

// What an offered call brings along (message 12, OFFERED).
struct OfferedCall {
    int32_t callState = 0;
    std::string dialledNumber;
    std::string callingNumber;
    int32_t resultValue = 0;
    // The information-element block, when it could be read.
    std::optional<ByteView> infoElements;
    // The call-information byte of an IP channel, widened as a signed byte; 0 on other devices.
    int32_t callInformation = 0;
};

// The extension data of an EXTENSION event: its one-byte id and the data.
struct ExtensionData {
    int32_t id = 0;
    ByteView data;
};

// The call-progress attributes of a voice channel (message 23), read at the moment of sending.
struct CallProgressAttributes {
    int32_t cpTerm = 0;
    int32_t connType = 0;
    int32_t shortLow = 0;
    int32_t longLow = 0;
    int32_t sizeHi = 0;
};

// The five fields every Aculab call event (message 21) starts with.
struct AculabCallEventRecord {
    int32_t ldev = 0;
    int32_t portType = 0;
    int32_t io = 0;  // the call handle's input/output value
    int32_t state = 0;
    int32_t callHandle = 0;
};

// One board of the hardware auto-configuration reply (message 35).
struct BoardChannelRange {
    int32_t board = 0;
    int32_t firstChannel = 0;
    int32_t lastChannel = 0;
};

// The answer to the central server's initialisation (message 31).
struct InitReplyFields {
    std::string fileVersion;  // the program's file version with its flag letters
    bool globalCallInitialised = false;
    bool intelIpBoards = false;
    bool withoutWindow = false;  // runs as a service or headless
    std::string dialogicRelease;
};

// The termination mask of an end of play or record (messages 5 and 13) that the node made up
// after a failure.
inline constexpr int32_t kMadeUpEndMask = 0x2B67;

class CentralMessages {
public:
    // The longest text a formatted channel text keeps, in UTF-16 code units: the formatting
    // buffer holds 1024 and the last two stay zero.
    static constexpr size_t kMaxFormattedTextUnits = 1022;

    // 0, listener: an event of an Amtelco board, named by its cable number. The cable digit
    // comes with the "connection found" events, -1 with the others.
    bool AmtelcoBoardEvent(net::COutputStreamSocket& listener, int32_t cable, int32_t event,
                           int32_t cableDigit) const;

    // 1, reply: the value the keep-alive carried.
    bool PingEcho(net::COutputStreamSocket& reply, int32_t value) const;
    // 2, listener: once per active connection, after its first keep-alive.
    bool ClientSocketInitialized(net::COutputStreamSocket& listener) const;
    // 3, listener: asks the central server to end its work with the node.
    bool StopRequest(net::COutputStreamSocket& listener) const;

    // 4: a voice function is done. The dial event sends only the device and the event code;
    // the other uses add a result.
    bool VoiceFunctionDone(net::COutputStreamSocket& writer, int32_t ldev, int32_t eventCode) const;
    bool VoiceFunctionDone(net::COutputStreamSocket& writer, int32_t ldev, int32_t eventCode,
                           int32_t result) const;
    // 5 and 13: the end of a play or a record. A mask of 11111 marks an end the node made up
    // after a failure; the count field then carries the error.
    bool EndOfPlay(net::COutputStreamSocket& writer, int32_t ldev, int32_t terminationMask,
                   int32_t transferCount) const;
    bool EndOfRecord(net::COutputStreamSocket& writer, int32_t ldev, int32_t terminationMask,
                     int32_t transferCount) const;
    // 6, listener: the end of a tone.
    bool EndOfTone(net::COutputStreamSocket& listener, int32_t ldev, int32_t terminationMask,
                   int32_t eventCode) const;

    // 8, reply: a voice channel's open result with its play and record features.
    bool VoiceOpenResult(net::COutputStreamSocket& reply, int32_t ldev, int32_t playFeatures,
                         int32_t recordFeatures) const;
    // 9, listener: a file opened for the central server's virtual handle, with its length or -1.
    bool FileOpenResult(net::COutputStreamSocket& listener, uint32_t virtualHandle,
                        int32_t length) const;
    // 10: the digits collected, with their types.
    bool Digits(net::COutputStreamSocket& writer, int32_t ldev, std::string_view digits,
                std::string_view digitTypes, int32_t terminationMask, int32_t toneId) const;
    // 11, reply: an information element as hex text, with the call's result.
    bool InfoElementText(net::COutputStreamSocket& reply, std::string_view text,
                         int32_t result) const;

    // 12, listener: a device event. Every event starts with the record; the tail depends on the
    // event.
    // No tail.
    bool DeviceEvent(net::COutputStreamSocket& listener, const DeviceEventRecord& record) const;
    // One word: blocked, unblocked, the board-open event and the station events.
    bool DeviceEventWithWord(net::COutputStreamSocket& listener, const DeviceEventRecord& record,
                             int32_t word) const;
    // Call information, alerting and call modification: the extension data, when there is any.
    bool DeviceEventWithExtensionData(net::COutputStreamSocket& listener,
                                      const DeviceEventRecord& record,
                                      std::optional<ByteView> extensionData) const;
    bool DeviceEventMoreDigits(net::COutputStreamSocket& listener, const DeviceEventRecord& record,
                               std::string_view dialledNumber,
                               std::optional<ByteView> infoElements) const;
    bool DeviceEventOffered(net::COutputStreamSocket& listener, const DeviceEventRecord& record,
                            const OfferedCall& call) const;
    bool DeviceEventDisconnected(net::COutputStreamSocket& listener,
                                 const DeviceEventRecord& record, int32_t cause,
                                 std::optional<ByteView> extensionData) const;
    bool DeviceEventFacility(net::COutputStreamSocket& listener, const DeviceEventRecord& record,
                             std::optional<ByteView> infoElements) const;
    bool DeviceEventAlarm(net::COutputStreamSocket& listener, const DeviceEventRecord& record,
                          uint32_t sourceObjectId, int32_t alarmNumber, ByteView alarmList) const;
    bool DeviceEventExtension(net::COutputStreamSocket& listener, const DeviceEventRecord& record,
                              std::optional<ExtensionData> extension) const;
    bool DeviceEventServiceResponse(net::COutputStreamSocket& listener,
                                    const DeviceEventRecord& record,
                                    std::optional<ByteView> extensionData,
                                    std::string_view resultText) const;

    // 14 and 15, reply: the state of a B or D channel, -1 when it could not be read.
    bool BChannelState(net::COutputStreamSocket& reply, int32_t ldev, int32_t state) const;
    bool DChannelState(net::COutputStreamSocket& reply, int32_t ldev, int32_t state) const;
    // 18 and 19, reply: results of the station commands.
    bool RingResult(net::COutputStreamSocket& reply, int32_t ldev, int32_t result) const;
    bool BoardParameterResult(net::COutputStreamSocket& reply, int32_t ldev, int32_t result) const;

    // 20, reply: an Aculab port's information record, given when the board was found; without
    // it only the board, the flag and the result (-1) go.
    bool AculabPortInfo(net::COutputStreamSocket& reply, int32_t board, int32_t ipFlag,
                        int32_t result, std::optional<ByteView> portInfo) const;
    // 21, listener: an Aculab call event; the call details go with the states that change the
    // call, an event value with the states that carry one.
    bool AculabCallEvent(net::COutputStreamSocket& listener,
                         const AculabCallEventRecord& record) const;
    bool AculabCallEventWithDetails(net::COutputStreamSocket& listener,
                                    const AculabCallEventRecord& record,
                                    ByteView callDetails) const;
    bool AculabCallEventWithValue(net::COutputStreamSocket& listener,
                                  const AculabCallEventRecord& record, int32_t value) const;
    // 22, reply: an Aculab call's cause; the cause record is given when the result is 0.
    bool AculabCallCause(net::COutputStreamSocket& reply, int32_t ldev, int32_t ipFlag,
                         int32_t result, std::optional<ByteView> causeRecord) const;
    // 23: the call-progress result of a dial.
    bool CallProgressResult(net::COutputStreamSocket& writer, int32_t ldev,
                            const CallProgressAttributes& attributes) const;
    // 24, reply: a tone-qualification template, given when the channel was found.
    bool ToneTemplate(net::COutputStreamSocket& reply, uint32_t ldev, int32_t result,
                      std::optional<ByteView> toneTemplate) const;
    // 25, reply.
    bool VmpReserveResult(net::COutputStreamSocket& reply, int32_t ldev, int32_t result) const;
    // 26, listener: the result of playing relay digits, -1 when the cable was not found.
    bool RelayDigitResult(net::COutputStreamSocket& listener, int32_t result) const;
    // 27, listener: an Aculab IP card's notification with its information record.
    bool AculabIpCardEvent(net::COutputStreamSocket& listener, int32_t port, int32_t notification,
                           ByteView cardInfo) const;
    // 28, reply: a station's hook-state bits, -1 for an unknown station.
    bool HookState(net::COutputStreamSocket& reply, int32_t ldev, int32_t hookBits) const;
    // 29, listener: an Aculab system notification for one port (0 for none).
    bool AculabSystemEvent(net::COutputStreamSocket& listener, int32_t port,
                           ByteView notification) const;
    // 30, reply: the station board with free conference resources, -1 when none.
    bool FreeMsiConferenceResources(net::COutputStreamSocket& reply, int32_t request,
                                    int32_t boardLdev) const;
    // 31, reply.
    bool InitReply(net::COutputStreamSocket& reply, const InitReplyFields& init) const;
    // 32, reply: a line device's state, -1 when it could not be read.
    bool LineDeviceState(net::COutputStreamSocket& reply, int32_t ldev, int32_t infoType,
                         int32_t state) const;
    // 33, reply: the conference device with free resources, -1 when none.
    bool FreeDcbConferenceResources(net::COutputStreamSocket& reply, int32_t request,
                                    int32_t deviceIndex) const;
    // 34, reply.
    bool DcbOpenResult(net::COutputStreamSocket& reply, bool opened) const;
    // 35, reply: the boards of one kind with their channel ranges.
    bool AutoConfiguration(net::COutputStreamSocket& reply, int32_t boardKind,
                           std::span<const BoardChannelRange> boards) const;
    // 36, listener: a Global Call device opened, with the name of its board.
    bool GlobalCallOpenResult(net::COutputStreamSocket& listener, int32_t portType, int32_t ldev,
                              std::string_view boardName) const;
    // 37, reply: one result per IP telephony board that ran the registration.
    bool SipRegisterResult(net::COutputStreamSocket& reply, int32_t request,
                           std::span<const uint32_t> results) const;

    // 38, listener: a text for a channel (0 for none). The text is logged with the channel as
    // the call id whether or not it can be sent; nothing is sent without a listener.
    bool ChannelText(net::COutputStreamSocket* listener, int32_t ldev, std::string_view text) const;
    // The same with printf-style formatting; the text is cut to kMaxFormattedTextUnits.
    bool ChannelTextF(net::COutputStreamSocket* listener, int32_t ldev, const char* format,
                      ...) const __attribute__((format(printf, 4, 5)));
    bool ChannelTextV(net::COutputStreamSocket* listener, int32_t ldev, const char* format,
                      va_list args) const __attribute__((format(printf, 4, 0)));
};

// The text cut to at most `maxUnits` UTF-16 code units, never between the two halves of a pair.
std::string CutToUtf16Units(std::string_view text, size_t maxUnits);

}  // namespace ruzd::node
