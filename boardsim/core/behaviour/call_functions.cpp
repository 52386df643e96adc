#include "boardsim/core/behaviour/call_functions.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "boardsim/core/globalcall_library.h"
#include "boardsim/core/machine.h"

namespace ruzd::boardsim {
namespace {

int32_t DeviceError(CallFault fault) {
    switch (fault) {
        case CallFault::kBadLine:
            return EDV_BADDEVICE;
        case CallFault::kLineBusy:
            return EDV_BUSY;
        default:
            return EDV_BADPARM;
    }
}

int32_t GlobalCallErrorOf(CallFault fault) {
    switch (fault) {
        case CallFault::kNone:
            return kGcNoError;
        case CallFault::kNotStarted:
            return kGcNotStarted;
        case CallFault::kBadLine:
            return kGcBadLine;
        case CallFault::kBadCall:
            return kGcBadCall;
        case CallFault::kBadState:
            return kGcBadState;
        case CallFault::kLineBusy:
            return kGcLineBusy;
        default:
            return kGcBadParameter;
    }
}

bool Contains(const std::string& text, const char* part) {
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find(part) != std::string::npos;
}

void CopyText(const std::string& text, char* buffer) {
    std::memcpy(buffer, text.c_str(), text.size() + 1);
}

}  // namespace

int32_t Report(Flavour flavour, CallFault fault, LINEDEV line) {
    if (fault == CallFault::kNone)
        return 0;
    if (line > 0)
        Machine::Get().devices().SetLastError(line, DeviceError(fault));
    if (flavour == Flavour::kGlobalCall)
        SetThreadFault({GlobalCallErrorOf(fault), GC_NO_CCLIB, 0});
    return -1;
}

int32_t ReportForCall(Flavour flavour, CallFault fault, CRN crn) {
    const std::optional<CallRecord> call = Machine::Get().calls().Find(crn);
    return Report(flavour, fault, call ? call->line : 0);
}

int32_t CallControlLibraryOf(LINEDEV line) {
    const std::optional<DeviceInfo> device = Machine::Get().devices().Find(line);
    const bool ip = device && (Contains(device->name, "p_ip") || Contains(device->name, "p_sip") ||
                               device->device.rfind("ip", 0) == 0);
    return GlobalCallLibrary::LibraryId(ip ? "GC_H3R_LIB" : "GC_ISDN_LIB");
}

std::optional<CallEventData> CallEventOf(const void* event_data) {
    const std::optional<Event> event = Machine::Get().events().CurrentWithData(event_data);
    if (!event)
        return std::nullopt;
    return DecodeCallEvent(*event);
}

CallFault CallInformation(CRN crn, int32_t info_id, char* buffer) {
    if (buffer == nullptr)
        return CallFault::kBadParameter;
    const std::optional<CallRecord> call = Machine::Get().calls().Find(crn);
    if (!call || !call->presented)
        return CallFault::kBadCall;
    switch (info_id) {
        case CALLINFO_DESTINATION_ADDRESS:
            CopyText(call->dnis, buffer);
            return CallFault::kNone;
        case CALLINFO_ORIGINATION_ADDRESS:
            CopyText(call->ani, buffer);
            return CallFault::kNone;
        case CALLINFO_CALLNAME:
            CopyText(call->calling_name, buffer);
            return CallFault::kNone;
        case CALLINFO_CALLINFOTYPE:
            buffer[0] = static_cast<char>(call->info_type);
            return CallFault::kNone;
        default:
            return CallFault::kBadParameter;
    }
}

CallFault CallStateOf(CRN crn, int32_t* state) {
    if (state == nullptr)
        return CallFault::kBadParameter;
    const std::optional<CallRecord> call = Machine::Get().calls().Find(crn);
    if (!call || !call->presented)
        return CallFault::kBadCall;
    *state = call->state;
    return CallFault::kNone;
}

CallFault LineOfCall(CRN crn, LINEDEV* line) {
    if (line == nullptr)
        return CallFault::kBadParameter;
    const std::optional<CallRecord> call = Machine::Get().calls().Find(crn);
    if (!call || !call->presented)
        return CallFault::kBadCall;
    *line = call->line;
    return CallFault::kNone;
}

CallFault SignallingInformation(char* buffer, int32_t info_id, const void* event_data) {
    if (buffer == nullptr || info_id != U_IES)
        return CallFault::kBadParameter;
    const std::optional<CallEventData> data = CallEventOf(event_data);
    if (!data)
        return CallFault::kBadParameter;
    IE_BLK block{};
    if (data->information_elements && !data->information_elements->empty()) {
        const size_t length = std::min(data->information_elements->size(), sizeof block.data);
        block.length = static_cast<int16_t>(length);
        std::memcpy(block.data, data->information_elements->data(), length);
    }
    std::memcpy(buffer, &block, sizeof block);
    return CallFault::kNone;
}

CallFault ReceivedInformationElements(LINEDEV line, IE_BLK* block) {
    if (block == nullptr)
        return CallFault::kBadParameter;
    std::vector<uint8_t> ies;
    const CallFault fault = Machine::Get().calls().ReceivedInformationElements(line, &ies);
    if (fault != CallFault::kNone)
        return fault;
    *block = IE_BLK{};
    const size_t length = std::min(ies.size(), sizeof block->data);
    block->length = static_cast<int16_t>(length);
    if (length > 0) {  // an empty vector's data may be null, which memcpy must not be given
        std::memcpy(block->data, ies.data(), length);
    }
    return CallFault::kNone;
}

CallFault SendInformationElements(LINEDEV line, const IE_BLK* block) {
    if (block == nullptr || block->length < 0 ||
        static_cast<size_t>(block->length) > sizeof block->data)
        return CallFault::kBadParameter;
    const auto* bytes = reinterpret_cast<const uint8_t*>(block->data);
    return Machine::Get().calls().SetInformationElements(
        line, std::vector<uint8_t>(bytes, bytes + block->length));
}

const char* CauseText(int32_t cause) {
    switch (cause) {
        case 0:
            return "No error";
        case CAUSE_UNASSIGNED_NUMBER:
            return "Unassigned number";
        case CAUSE_NORMAL_CLEARING:
            return "Normal clearing";
        case CAUSE_USER_BUSY:
            return "User busy";
        case CAUSE_NO_USER_RESPONDING:
            return "No user responding";
        case CAUSE_NO_ANSWER:
            return "No answer from user";
        case CAUSE_CALL_REJECTED:
            return "Call rejected";
        case CAUSE_NUMBER_CHANGED:
            return "Number changed";
        case CAUSE_DESTINATION_OUT_OF_ORDER:
            return "Destination out of order";
        case CAUSE_INVALID_NUMBER_FORMAT:
            return "Invalid number format";
        case CAUSE_NORMAL_UNSPECIFIED:
            return "Normal, unspecified";
        case CAUSE_NO_CIRCUIT_AVAILABLE:
            return "No circuit available";
        case CAUSE_NETWORK_OUT_OF_ORDER:
            return "Network out of order";
        case CAUSE_TEMPORARY_FAILURE:
            return "Temporary failure";
        case CAUSE_SWITCH_CONGESTION:
            return "Switching equipment congestion";
        case CAUSE_CHANNEL_UNAVAILABLE:
            return "Requested channel not available";
        case CAUSE_INCOMPATIBLE_DESTINATION:
            return "Incompatible destination";
        case CAUSE_RECOVERY_ON_TIMER:
            return "Recovery on timer expiry";
        case CAUSE_INTERWORKING:
            return "Interworking, unspecified";
        default:
            return "Unknown cause";
    }
}

}  // namespace ruzd::boardsim
