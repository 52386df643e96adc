// Global Call on a line device beside its calls. Every block handed in is copied before the
// function returns.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "boardsim/core/behaviour/call_functions.h"
#include "boardsim/core/behaviour/globalcall_line_functions.h"
#include "boardsim/core/behaviours.h"
#include "boardsim/core/call_api.h"
#include "boardsim/core/globalcall_library.h"
#include "boardsim/core/machine.h"
#include "boardsim/core/voice_files.h"

namespace ruzd::boardsim {
namespace {

// A trace file is created anew, written in binary, and may be read and written by all.
constexpr int32_t kTraceFileFlags = 0x0001 | 0x0100 | 0x0200 | 0x8000;
constexpr int32_t kTraceFilePermission = 0x0100 | 0x0080;
// The bytes after an extension block's data that belong to it.
constexpr size_t kExtensionTail = 2;

LineExtras& Extras() {
    return Machine::Get().line_extras();
}

bool Started() {
    return Machine::Get().globalcall().started();
}

int32_t Refused(CallFault fault, LINEDEV line = 0) {
    return Report(Flavour::kGlobalCall, fault, line);
}

bool IsOpen(int32_t device) {
    const std::optional<DeviceInfo> info = Machine::Get().devices().Find(device);
    return info && info->open;
}

// The parameter block as it is kept: its size field and its data.
std::vector<uint8_t> CopyBlock(const GC_PARM_BLK* block) {
    if (block == nullptr)
        return {};
    const auto* bytes = reinterpret_cast<const uint8_t*>(block);
    return std::vector<uint8_t>(bytes, bytes + sizeof(uint16_t) + block->parm_data_size);
}

// The refusal of a function on a line device: Global Call not started, the line device not
// open, or a pointer it needs not given (`given` false); none when the function may go on.
std::optional<int32_t> LineRefusal(LINEDEV linedev, bool given = true) {
    if (!Started())
        return Refused(CallFault::kNotStarted);
    if (!IsOpen(linedev))
        return Refused(CallFault::kBadLine, linedev);
    if (!given)
        return Refused(CallFault::kBadParameter, linedev);
    return std::nullopt;
}

std::optional<int32_t> LineOfCall(CRN crn) {
    const std::optional<CallRecord> call = Machine::Get().calls().Find(crn);
    return call ? std::optional<int32_t>(call->line) : std::nullopt;
}

// The line device a target names: a line device by its handle, a call by its reference. None,
// with the refusal's result in *refused, when Global Call is not started or the target names
// nothing there is.
std::optional<int32_t> TargetLine(int32_t target_type, int32_t target_id, int32_t* refused) {
    CallFault fault = CallFault::kBadParameter;
    std::optional<int32_t> line;
    if (!Started()) {
        fault = CallFault::kNotStarted;
    } else if (target_type == GC_TARGET_LINEDEV) {
        fault = CallFault::kBadLine;
        if (IsOpen(target_id))
            line = target_id;
    } else if (target_type == GC_TARGET_CALL) {
        fault = CallFault::kBadCall;
        line = LineOfCall(target_id);
    }
    if (!line)
        *refused = Refused(fault);
    return line;
}

std::optional<Event> AlarmEvent(const METAEVENT* metaevent) {
    if (metaevent == nullptr)
        return std::nullopt;
    const std::optional<Event> event = Machine::Get().events().CurrentWithData(metaevent->evtdatap);
    if (!event || event->type != CCEV_ALARM)
        return std::nullopt;
    return event;
}

// The 32-bit word at `index` of the data of the alarm the meta event describes (0 when the
// data ends before it).
template <typename Word>
int32_t ReadAlarmWord(const METAEVENT* metaevent, size_t index, Word* word) {
    if (!Started())
        return Refused(CallFault::kNotStarted);
    const std::optional<Event> event = AlarmEvent(metaevent);
    if (!event || word == nullptr)
        return Refused(CallFault::kBadParameter);
    *word = 0;
    if (event->data.size() >= (index + 1) * sizeof *word)
        std::memcpy(word, event->data.data() + index * sizeof *word, sizeof *word);
    return 0;
}

}  // namespace

// The media device of an IP line device (resource 3); nothing else is served.
int32_t Behaviour<tags::gc_GetResourceH>::Run(LINEDEV linedev, int32_t* resource,
                                              int32_t resource_type) {
    if (!Started())
        return Refused(CallFault::kNotStarted);
    if (resource == nullptr || resource_type != GC_MEDIADEVICE)
        return Refused(CallFault::kBadParameter, linedev);
    const std::optional<int32_t> media = Extras().MediaOf(linedev);
    if (!media || !IsOpen(linedev))
        return Refused(CallFault::kBadLine, linedev);
    *resource = *media;
    return 0;
}

// Kept for an open device; the result is the configured one.
int32_t Behaviour<tags::gc_SetParm>::Run(LINEDEV linedev, int32_t parm_id, GC_PARM value) {
    if (IsOpen(linedev))
        Extras().SetParameter(linedev, parm_id, value.intvalue);
    return static_cast<int32_t>(DefaultResult("gc_SetParm"));
}

int32_t Behaviour<tags::gc_SetEvtMsk>::Run(LINEDEV linedev, uint32_t mask, int32_t action) {
    if (const std::optional<int32_t> refused = LineRefusal(linedev))
        return *refused;
    Extras().SetEventMask(linedev, mask, action);
    return 0;
}

int32_t Behaviour<tags::cc_SetDChanCfg>::Run(LINEDEV linedev, DCHAN_CFG* config) {
    if (!IsOpen(linedev))
        return Report(Flavour::kIsdn, CallFault::kBadLine, linedev);
    if (config == nullptr)
        return Report(Flavour::kIsdn, CallFault::kBadParameter, linedev);
    Extras().SetDChannelConfiguration(
        linedev, std::vector<uint8_t>(config->dc_block, config->dc_block + sizeof *config));
    return 0;
}

int32_t Behaviour<tags::gc_CallProgress>::Run(CRN crn, int32_t indicator) {
    if (!Started())
        return Refused(CallFault::kNotStarted);
    const std::optional<int32_t> line = LineOfCall(crn);
    if (!line)
        return Refused(CallFault::kBadCall);
    Extras().SetProgress(*line, indicator);
    return 0;
}

int32_t Behaviour<tags::gc_SndMsg>::Run(LINEDEV linedev, CRN crn, int32_t msg_type, GC_IE_BLK* ie) {
    if (const std::optional<int32_t> refused = LineRefusal(linedev, ie != nullptr))
        return *refused;
    SentMessage message{msg_type, crn, {}, {}};
    if (ie->gclib != nullptr)
        message.library_part.assign(ie->gclib->block, ie->gclib->block + sizeof *ie->gclib);
    if (ie->cclib != nullptr) {
        const size_t length =
            std::min<size_t>(std::max<int16_t>(ie->cclib->length, 0), sizeof ie->cclib->data);
        message.elements.assign(ie->cclib->data, ie->cclib->data + length);
    }
    Extras().SetSentMessage(linedev, std::move(message));
    return 0;
}

// A trace names its file by a Windows path; it gets one line per event of the line device that
// Global Call describes (gc_GetMetaEvent) until the trace stops.
int32_t Behaviour<tags::gc_StartTrace>::Run(LINEDEV linedev, const char* file) {
    if (const std::optional<int32_t> refused = LineRefusal(linedev, file != nullptr))
        return *refused;
    const int32_t handle = VoiceFileOpen(file, kTraceFileFlags, kTraceFilePermission);
    if (handle < 0)
        return Refused(CallFault::kBadParameter, linedev);
    if (const std::optional<int32_t> earlier = Extras().EndTrace(linedev))
        VoiceFileClose(*earlier);
    Extras().SetTrace(linedev, handle, file);
    return 0;
}

int32_t Behaviour<tags::gc_StopTrace>::Run(LINEDEV linedev) {
    if (!Started())
        return Refused(CallFault::kNotStarted);
    const std::optional<int32_t> trace = Extras().EndTrace(linedev);
    if (!trace)
        return Refused(CallFault::kBadState, linedev);
    VoiceFileClose(*trace);
    return 0;
}

int32_t Behaviour<tags::gc_CallAck>::Run(CRN crn, GC_CALLACK_BLK* callack, uint32_t mode) {
    if (!Started())
        return Refused(CallFault::kNotStarted);
    if (callack == nullptr)
        return ReportForCall(Flavour::kGlobalCall, CallFault::kBadParameter, crn);
    return ReportForCall(Flavour::kGlobalCall, Machine::Get().calls().CallAck(crn, IsAsync(mode)),
                         crn);
}

// Switches the alarms of a device on or off; line device 0 stands for every device.
int32_t Behaviour<tags::gc_SetAlarmNotifyAll>::Run(LINEDEV linedev, uint32_t /*alarm_source*/,
                                                   int32_t value) {
    if (!Started())
        return Refused(CallFault::kNotStarted);
    if (linedev != 0 && !IsOpen(linedev))
        return Refused(CallFault::kBadLine, linedev);
    Extras().SetAlarmNotify(linedev, value != 0);
    return 0;
}

int32_t Behaviour<tags::gc_AlarmNumber>::Run(METAEVENT* metaevent, int32_t* alarm_number) {
    return ReadAlarmWord(metaevent, 0, alarm_number);
}

int32_t Behaviour<tags::gc_AlarmSourceObjectID>::Run(METAEVENT* metaevent, uint32_t* alarm_source) {
    return ReadAlarmWord(metaevent, 1, alarm_source);
}

// The list: a 32-bit count, then 48 pairs of 32-bit values, each alarm the device raised with
// its notification state (1 on, 0 off), the rest zero.
int32_t Behaviour<tags::gc_GetAlarmConfiguration>::Run(LINEDEV linedev, uint32_t /*alarm_source*/,
                                                       ALARM_LIST* alarms, int32_t /*query_type*/) {
    if (const std::optional<int32_t> refused = LineRefusal(linedev, alarms != nullptr))
        return *refused;
    std::memset(alarms, 0, sizeof *alarms);
    const std::vector<int32_t> raised = Extras().Alarms(linedev);
    const auto count = static_cast<int32_t>(raised.size());
    const int32_t state = Extras().AlarmNotify(linedev) ? 1 : 0;
    std::memcpy(alarms->block, &count, sizeof count);
    for (size_t i = 0; i < raised.size(); ++i) {
        uint8_t* entry = alarms->block + sizeof count + i * 2 * sizeof count;
        std::memcpy(entry, &raised[i], sizeof count);
        std::memcpy(entry + sizeof count, &state, sizeof count);
    }
    return 0;
}

int32_t Behaviour<tags::ipm_ResetQoSAlarmStatus>::Run(int32_t dev, IPM_QOS_ALARM_STATUS* status,
                                                      uint16_t /*mode*/) {
    if (!Extras().IsMedia(dev) || !IsOpen(dev) || status == nullptr)
        return -1;
    const auto* bytes = reinterpret_cast<const uint8_t*>(status);
    Extras().SetQosReset(dev, std::vector<uint8_t>(bytes, bytes + sizeof *status));
    return 0;
}

int32_t Behaviour<tags::gc_SetUserInfo>::Run(int32_t target_type, LINEDEV target_id,
                                             GC_PARM_BLKP info, int32_t duration) {
    int32_t refused = 0;
    const std::optional<int32_t> line = TargetLine(target_type, target_id, &refused);
    if (!line)
        return refused;
    Extras().SetUserInformation(*line, {target_type, target_id, CopyBlock(info), duration});
    return 0;
}

// Accepted only while the far end's modification of the call waits.
int32_t Behaviour<tags::gc_AcceptModifyCall>::Run(CRN crn, GC_PARM_BLKP /*parameters*/,
                                                  uint32_t /*mode*/) {
    if (!Started())
        return Refused(CallFault::kNotStarted);
    const std::optional<int32_t> line = LineOfCall(crn);
    if (!line)
        return Refused(CallFault::kBadCall);
    if (!Extras().TakePendingModification(*line, crn))
        return Refused(CallFault::kBadState, *line);
    return 0;
}

// Asynchronously the extension completes with an EXTENSION event carrying its id and
// parameters; synchronously the result is a copy of the parameters, on the C heap.
int32_t Behaviour<tags::gc_Extension>::Run(int32_t target_type, LINEDEV target_id,
                                           uint8_t extension_id, GC_PARM_BLKP parameters,
                                           GC_PARM_BLKP* result, uint32_t mode) {
    int32_t refused = 0;
    const std::optional<int32_t> line = TargetLine(target_type, target_id, &refused);
    if (!line)
        return refused;
    std::vector<uint8_t> block = CopyBlock(parameters);
    if (block.empty())
        block = ParameterBlockBytes({});
    if (!IsAsync(mode)) {
        if (result != nullptr) {
            *result = static_cast<GC_PARM_BLKP>(std::malloc(block.size()));
            if (*result != nullptr)
                std::memcpy(*result, block.data(), block.size());
        }
        return 0;
    }
    const CRN crn = target_type == GC_TARGET_CALL ? target_id : 0;
    RaiseExtension(*line, crn, extension_id, block);
    return 0;
}

void RaiseExtension(int32_t line, CRN crn, uint8_t extension_id,
                    const std::vector<uint8_t>& block) {
    std::vector<uint8_t> extension{extension_id};
    extension.insert(extension.end(), block.begin(), block.end());
    Machine::Get().events().Put(line, CCEV_EXTENSION, EncodeCallEvent({crn, 0, {}}),
                                std::move(extension));
}

// The make-call blocks a Global Call line device's outgoing call carries: the destination
// text of Global Call's block, its extension data (size, data and the two bytes that end it)
// and the call-control library's block.
OutgoingBlocks ReadOutgoingBlocks(const GC_MAKECALL_BLK* makecall) {
    OutgoingBlocks blocks;
    if (makecall == nullptr)
        return blocks;
    if (const GCLIB_MAKECALL_BLK* gclib = makecall->gclib) {
        const auto* text = reinterpret_cast<const char*>(gclib->block);
        blocks.destination.assign(text, ::strnlen(text, GCLIB_DESTINATION_SIZE));
        if (const auto* extension = static_cast<const uint8_t*>(gclib->ext_datap)) {
            uint16_t size = 0;
            std::memcpy(&size, extension, sizeof size);
            blocks.extension.assign(extension, extension + sizeof size + size + kExtensionTail);
        }
    }
    if (const auto* cclib = static_cast<const uint8_t*>(makecall->cclib))
        blocks.makecall_block.assign(cclib, cclib + sizeof(MAKECALL_BLK));
    return blocks;
}

// A trace line for an event Global Call describes, when its line device traces.
void TraceEvent(const Event& event, CRN crn) {
    const std::optional<int32_t> trace = Extras().Trace(event.device);
    if (!trace)
        return;
    char line[96];
    const int length = std::snprintf(line, sizeof line, "event=%d type=0x%X crn=%d\n", event.handle,
                                     static_cast<unsigned>(event.type), crn);
    VoiceFileWrite(*trace, line, static_cast<uint32_t>(length));
}

}  // namespace ruzd::boardsim
