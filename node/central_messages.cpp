#include "node/central_messages.h"

#include <string>

#include "foundation/trace.h"
#include "node/central_message_code.h"
#include "platform/text.h"

namespace ruzd::node {

using net::COutputStreamSocket;

namespace {

COutputStreamSocket& Begin(COutputStreamSocket& writer, CentralMessageCode code) {
    return writer.BeginMessage(static_cast<int32_t>(code));
}

void WriteBytes(COutputStreamSocket& writer, ByteView bytes) {
    writer.WriteBytes(bytes.data(), static_cast<int>(bytes.size()));
}

// A block the central server reads as its length followed by the bytes.
void WriteSizedBlock(COutputStreamSocket& writer, ByteView block) {
    writer.WriteLong(static_cast<int32_t>(block.size()));
    WriteBytes(writer, block);
}

// Extension data as the length and, when there are any, the bytes; 0 when there is none.
void WriteExtensionData(COutputStreamSocket& writer, std::optional<ByteView> data) {
    if (!data || data->empty()) {
        writer.WriteInt(0);
        return;
    }
    writer.WriteInt(static_cast<int32_t>(data->size()));
    WriteBytes(writer, *data);
}

// The information-element block as its size and bytes, or 0 when it could not be read.
void WriteInfoElements(COutputStreamSocket& writer, std::optional<ByteView> block) {
    if (!block) {
        writer.WriteInt(0);
        return;
    }
    WriteSizedBlock(writer, *block);
}

void WriteRecord(COutputStreamSocket& writer, const DeviceEventRecord& record) {
    writer.WriteInt(record.ldev)
        .WriteInt(record.portType)
        .WriteInt(record.handle)
        .WriteInt(record.eventCode)
        .WriteInt(record.crn);
}

COutputStreamSocket& BeginDeviceEvent(COutputStreamSocket& writer,
                                      const DeviceEventRecord& record) {
    Begin(writer, CentralMessageCode::kDeviceEvent);
    WriteRecord(writer, record);
    return writer;
}

void WriteRecord(COutputStreamSocket& writer, const AculabCallEventRecord& record) {
    writer.WriteInt(record.ldev)
        .WriteInt(record.portType)
        .WriteInt(record.io)
        .WriteInt(record.state)
        .WriteInt(record.callHandle);
}

bool SendTwoInts(COutputStreamSocket& writer, CentralMessageCode code, int32_t first,
                 int32_t second) {
    Begin(writer, code).WriteInt(first).WriteInt(second);
    return writer.Flush();
}

bool SendThreeInts(COutputStreamSocket& writer, CentralMessageCode code, int32_t first,
                   int32_t second, int32_t third) {
    Begin(writer, code).WriteInt(first).WriteInt(second).WriteInt(third);
    return writer.Flush();
}

}  // namespace

std::string CutToUtf16Units(std::string_view text, size_t maxUnits) {
    std::u16string units = platform::Utf8ToUtf16(text);
    if (units.size() <= maxUnits) {
        return std::string(text);
    }
    size_t keep = maxUnits;
    // A high surrogate whose partner would be cut off goes with it.
    if (keep > 0 && units[keep - 1] >= 0xD800 && units[keep - 1] <= 0xDBFF) {
        --keep;
    }
    units.resize(keep);
    return platform::Utf16ToUtf8(units);
}

bool CentralMessages::AmtelcoBoardEvent(COutputStreamSocket& listener, int32_t cable, int32_t event,
                                        int32_t cableDigit) const {
    return SendThreeInts(listener, CentralMessageCode::kAmtelcoBoardEvent, cable, event,
                         cableDigit);
}

bool CentralMessages::PingEcho(COutputStreamSocket& reply, int32_t value) const {
    Begin(reply, CentralMessageCode::kPingEcho).WriteInt(value);
    return reply.Flush();
}

bool CentralMessages::ClientSocketInitialized(COutputStreamSocket& listener) const {
    Begin(listener, CentralMessageCode::kClientSocketInitialized);
    return listener.Flush();
}

bool CentralMessages::StopRequest(COutputStreamSocket& listener) const {
    Begin(listener, CentralMessageCode::kStopRequest);
    return listener.Flush();
}

bool CentralMessages::VoiceFunctionDone(COutputStreamSocket& writer, int32_t ldev,
                                        int32_t eventCode) const {
    return SendTwoInts(writer, CentralMessageCode::kVoiceFunctionDone, ldev, eventCode);
}

bool CentralMessages::VoiceFunctionDone(COutputStreamSocket& writer, int32_t ldev,
                                        int32_t eventCode, int32_t result) const {
    return SendThreeInts(writer, CentralMessageCode::kVoiceFunctionDone, ldev, eventCode, result);
}

bool CentralMessages::EndOfPlay(COutputStreamSocket& writer, int32_t ldev, int32_t terminationMask,
                                int32_t transferCount) const {
    return SendThreeInts(writer, CentralMessageCode::kEndOfPlay, ldev, terminationMask,
                         transferCount);
}

bool CentralMessages::EndOfRecord(COutputStreamSocket& writer, int32_t ldev,
                                  int32_t terminationMask, int32_t transferCount) const {
    return SendThreeInts(writer, CentralMessageCode::kEndOfRecord, ldev, terminationMask,
                         transferCount);
}

bool CentralMessages::EndOfTone(COutputStreamSocket& listener, int32_t ldev,
                                int32_t terminationMask, int32_t eventCode) const {
    return SendThreeInts(listener, CentralMessageCode::kEndOfTone, ldev, terminationMask,
                         eventCode);
}

bool CentralMessages::VoiceOpenResult(COutputStreamSocket& reply, int32_t ldev,
                                      int32_t playFeatures, int32_t recordFeatures) const {
    return SendThreeInts(reply, CentralMessageCode::kVoiceOpenResult, ldev, playFeatures,
                         recordFeatures);
}

bool CentralMessages::FileOpenResult(COutputStreamSocket& listener, uint32_t virtualHandle,
                                     int32_t length) const {
    Begin(listener, CentralMessageCode::kFileOpenResult).WriteUInt(virtualHandle).WriteInt(length);
    return listener.Flush();
}

bool CentralMessages::Digits(COutputStreamSocket& writer, int32_t ldev, std::string_view digits,
                             std::string_view digitTypes, int32_t terminationMask,
                             int32_t toneId) const {
    Begin(writer, CentralMessageCode::kDigits)
        .WriteInt(ldev)
        .WriteString(digits)
        .WriteString(digitTypes)
        .WriteInt(terminationMask)
        .WriteInt(toneId);
    return writer.Flush();
}

bool CentralMessages::InfoElementText(COutputStreamSocket& reply, std::string_view text,
                                      int32_t result) const {
    Begin(reply, CentralMessageCode::kInfoElementText).WriteString(text).WriteInt(result);
    return reply.Flush();
}

bool CentralMessages::DeviceEvent(COutputStreamSocket& listener,
                                  const DeviceEventRecord& record) const {
    BeginDeviceEvent(listener, record);
    return listener.Flush();
}

bool CentralMessages::DeviceEventWithWord(COutputStreamSocket& listener,
                                          const DeviceEventRecord& record, int32_t word) const {
    BeginDeviceEvent(listener, record).WriteInt(word);
    return listener.Flush();
}

bool CentralMessages::DeviceEventWithExtensionData(COutputStreamSocket& listener,
                                                   const DeviceEventRecord& record,
                                                   std::optional<ByteView> extensionData) const {
    BeginDeviceEvent(listener, record);
    WriteExtensionData(listener, extensionData);
    return listener.Flush();
}

bool CentralMessages::DeviceEventMoreDigits(COutputStreamSocket& listener,
                                            const DeviceEventRecord& record,
                                            std::string_view dialledNumber,
                                            std::optional<ByteView> infoElements) const {
    BeginDeviceEvent(listener, record).WriteString(dialledNumber);
    WriteInfoElements(listener, infoElements);
    return listener.Flush();
}

bool CentralMessages::DeviceEventOffered(COutputStreamSocket& listener,
                                         const DeviceEventRecord& record,
                                         const OfferedCall& call) const {
    BeginDeviceEvent(listener, record)
        .WriteInt(call.callState)
        .WriteString(call.dialledNumber)
        .WriteString(call.callingNumber)
        .WriteInt(call.resultValue);
    WriteInfoElements(listener, call.infoElements);
    listener.WriteInt(call.callInformation);
    return listener.Flush();
}

bool CentralMessages::DeviceEventDisconnected(COutputStreamSocket& listener,
                                              const DeviceEventRecord& record, int32_t cause,
                                              std::optional<ByteView> extensionData) const {
    BeginDeviceEvent(listener, record).WriteInt(cause);
    WriteExtensionData(listener, extensionData);
    return listener.Flush();
}

bool CentralMessages::DeviceEventFacility(COutputStreamSocket& listener,
                                          const DeviceEventRecord& record,
                                          std::optional<ByteView> infoElements) const {
    BeginDeviceEvent(listener, record);
    WriteInfoElements(listener, infoElements);
    return listener.Flush();
}

bool CentralMessages::DeviceEventAlarm(COutputStreamSocket& listener,
                                       const DeviceEventRecord& record, uint32_t sourceObjectId,
                                       int32_t alarmNumber, ByteView alarmList) const {
    BeginDeviceEvent(listener, record).WriteUInt(sourceObjectId).WriteInt(alarmNumber);
    WriteSizedBlock(listener, alarmList);
    return listener.Flush();
}

bool CentralMessages::DeviceEventExtension(COutputStreamSocket& listener,
                                           const DeviceEventRecord& record,
                                           std::optional<ExtensionData> extension) const {
    BeginDeviceEvent(listener, record);
    if (extension) {
        listener.WriteInt(extension->id).WriteInt(static_cast<int32_t>(extension->data.size()));
        WriteBytes(listener, extension->data);
    } else {
        listener.WriteInt(0).WriteInt(0);
    }
    return listener.Flush();
}

bool CentralMessages::DeviceEventServiceResponse(COutputStreamSocket& listener,
                                                 const DeviceEventRecord& record,
                                                 std::optional<ByteView> extensionData,
                                                 std::string_view resultText) const {
    BeginDeviceEvent(listener, record).WriteInt(0);
    if (extensionData) {
        listener.WriteInt(static_cast<int32_t>(extensionData->size()));
        WriteBytes(listener, *extensionData);
    } else {
        listener.WriteInt(0).WriteInt(0);
    }
    listener.WriteString(resultText);
    return listener.Flush();
}

bool CentralMessages::BChannelState(COutputStreamSocket& reply, int32_t ldev, int32_t state) const {
    return SendTwoInts(reply, CentralMessageCode::kBChannelState, ldev, state);
}

bool CentralMessages::DChannelState(COutputStreamSocket& reply, int32_t ldev, int32_t state) const {
    return SendTwoInts(reply, CentralMessageCode::kDChannelState, ldev, state);
}

bool CentralMessages::RingResult(COutputStreamSocket& reply, int32_t ldev, int32_t result) const {
    return SendTwoInts(reply, CentralMessageCode::kRingResult, ldev, result);
}

bool CentralMessages::BoardParameterResult(COutputStreamSocket& reply, int32_t ldev,
                                           int32_t result) const {
    return SendTwoInts(reply, CentralMessageCode::kBoardParameterResult, ldev, result);
}

bool CentralMessages::AculabPortInfo(COutputStreamSocket& reply, int32_t board, int32_t ipFlag,
                                     int32_t result, std::optional<ByteView> portInfo) const {
    Begin(reply, CentralMessageCode::kAculabPortInfo)
        .WriteInt(board)
        .WriteInt(ipFlag)
        .WriteInt(result);
    if (portInfo) {
        WriteSizedBlock(reply, *portInfo);
    }
    return reply.Flush();
}

bool CentralMessages::AculabCallEvent(COutputStreamSocket& listener,
                                      const AculabCallEventRecord& record) const {
    Begin(listener, CentralMessageCode::kAculabCallEvent);
    WriteRecord(listener, record);
    return listener.Flush();
}

bool CentralMessages::AculabCallEventWithDetails(COutputStreamSocket& listener,
                                                 const AculabCallEventRecord& record,
                                                 ByteView callDetails) const {
    Begin(listener, CentralMessageCode::kAculabCallEvent);
    WriteRecord(listener, record);
    WriteSizedBlock(listener, callDetails);
    return listener.Flush();
}

bool CentralMessages::AculabCallEventWithValue(COutputStreamSocket& listener,
                                               const AculabCallEventRecord& record,
                                               int32_t value) const {
    Begin(listener, CentralMessageCode::kAculabCallEvent);
    WriteRecord(listener, record);
    listener.WriteInt(value);
    return listener.Flush();
}

bool CentralMessages::AculabCallCause(COutputStreamSocket& reply, int32_t ldev, int32_t ipFlag,
                                      int32_t result, std::optional<ByteView> causeRecord) const {
    Begin(reply, CentralMessageCode::kAculabCallCause)
        .WriteInt(ldev)
        .WriteInt(ipFlag)
        .WriteInt(result);
    if (causeRecord) {
        WriteSizedBlock(reply, *causeRecord);
    }
    return reply.Flush();
}

bool CentralMessages::CallProgressResult(COutputStreamSocket& writer, int32_t ldev,
                                         const CallProgressAttributes& attributes) const {
    Begin(writer, CentralMessageCode::kCallProgressResult)
        .WriteInt(ldev)
        .WriteInt(attributes.cpTerm)
        .WriteInt(attributes.connType)
        .WriteInt(attributes.shortLow)
        .WriteInt(attributes.longLow)
        .WriteInt(attributes.sizeHi);
    return writer.Flush();
}

bool CentralMessages::ToneTemplate(COutputStreamSocket& reply, uint32_t ldev, int32_t result,
                                   std::optional<ByteView> toneTemplate) const {
    Begin(reply, CentralMessageCode::kToneTemplate).WriteUInt(ldev).WriteInt(result);
    if (toneTemplate) {
        WriteBytes(reply, *toneTemplate);
    }
    return reply.Flush();
}

bool CentralMessages::VmpReserveResult(COutputStreamSocket& reply, int32_t ldev,
                                       int32_t result) const {
    return SendTwoInts(reply, CentralMessageCode::kVmpReserveResult, ldev, result);
}

bool CentralMessages::RelayDigitResult(COutputStreamSocket& listener, int32_t result) const {
    Begin(listener, CentralMessageCode::kRelayDigitResult).WriteInt(result);
    return listener.Flush();
}

bool CentralMessages::AculabIpCardEvent(COutputStreamSocket& listener, int32_t port,
                                        int32_t notification, ByteView cardInfo) const {
    Begin(listener, CentralMessageCode::kAculabIpCardEvent).WriteInt(port).WriteLong(notification);
    WriteSizedBlock(listener, cardInfo);
    return listener.Flush();
}

bool CentralMessages::HookState(COutputStreamSocket& reply, int32_t ldev, int32_t hookBits) const {
    return SendTwoInts(reply, CentralMessageCode::kHookState, ldev, hookBits);
}

bool CentralMessages::AculabSystemEvent(COutputStreamSocket& listener, int32_t port,
                                        ByteView notification) const {
    Begin(listener, CentralMessageCode::kAculabSystemEvent).WriteInt(port);
    WriteSizedBlock(listener, notification);
    return listener.Flush();
}

bool CentralMessages::FreeMsiConferenceResources(COutputStreamSocket& reply, int32_t request,
                                                 int32_t boardLdev) const {
    return SendTwoInts(reply, CentralMessageCode::kFreeMsiConferenceResources, request, boardLdev);
}

bool CentralMessages::InitReply(COutputStreamSocket& reply, const InitReplyFields& init) const {
    Begin(reply, CentralMessageCode::kInitReply)
        .WriteString(init.fileVersion)
        .WriteInt(init.globalCallInitialised ? 1 : 0)
        .WriteInt(init.intelIpBoards ? 1 : 0)
        .WriteInt(init.withoutWindow ? 1 : 0)
        .WriteString(init.dialogicRelease);
    return reply.Flush();
}

bool CentralMessages::LineDeviceState(COutputStreamSocket& reply, int32_t ldev, int32_t infoType,
                                      int32_t state) const {
    return SendThreeInts(reply, CentralMessageCode::kLineDeviceState, ldev, infoType, state);
}

bool CentralMessages::FreeDcbConferenceResources(COutputStreamSocket& reply, int32_t request,
                                                 int32_t deviceIndex) const {
    return SendTwoInts(reply, CentralMessageCode::kFreeDcbConferenceResources, request,
                       deviceIndex);
}

bool CentralMessages::DcbOpenResult(COutputStreamSocket& reply, bool opened) const {
    Begin(reply, CentralMessageCode::kDcbOpenResult).WriteInt(opened ? 1 : 0);
    return reply.Flush();
}

bool CentralMessages::AutoConfiguration(COutputStreamSocket& reply, int32_t boardKind,
                                        std::span<const BoardChannelRange> boards) const {
    Begin(reply, CentralMessageCode::kAutoConfiguration)
        .WriteInt(boardKind)
        .WriteInt(static_cast<int32_t>(boards.size()));
    for (const BoardChannelRange& board : boards) {
        reply.WriteInt(board.board).WriteInt(board.firstChannel).WriteInt(board.lastChannel);
    }
    return reply.Flush();
}

bool CentralMessages::GlobalCallOpenResult(COutputStreamSocket& listener, int32_t portType,
                                           int32_t ldev, std::string_view boardName) const {
    Begin(listener, CentralMessageCode::kGlobalCallOpenResult)
        .WriteInt(portType)
        .WriteInt(ldev)
        .WriteString(boardName);
    return listener.Flush();
}

bool CentralMessages::SipRegisterResult(COutputStreamSocket& reply, int32_t request,
                                        std::span<const uint32_t> results) const {
    Begin(reply, CentralMessageCode::kSipRegisterResult)
        .WriteLong(request)
        .WriteInt(0)
        .WriteInt(static_cast<int32_t>(results.size()));
    for (uint32_t result : results) {
        reply.WriteUInt(result);
    }
    return reply.Flush();
}

bool CentralMessages::ChannelText(COutputStreamSocket* listener, int32_t ldev,
                                  std::string_view text) const {
    const std::string line(text);
    foundation::Trace(foundation::kTraceCallId, ldev, "SendMessageToOrvanthella %s", line.c_str());
    if (listener == nullptr) {
        return false;
    }
    Begin(*listener, CentralMessageCode::kChannelText).WriteInt(ldev).WriteString(text);
    return listener->Flush();
}

bool CentralMessages::ChannelTextF(COutputStreamSocket* listener, int32_t ldev, const char* format,
                                   ...) const {
    va_list args;
    va_start(args, format);
    const bool sent = ChannelTextV(listener, ldev, format, args);
    va_end(args);
    return sent;
}

bool CentralMessages::ChannelTextV(COutputStreamSocket* listener, int32_t ldev, const char* format,
                                   va_list args) const {
    const std::string text = platform::FormatV(format, args);
    return ChannelText(listener, ldev, CutToUtf16Units(text, kMaxFormattedTextUnits));
}

}  // namespace ruzd::node
