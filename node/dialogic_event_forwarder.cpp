#include "node/dialogic_event_forwarder.h"

#include <cstring>
#include <string>
#include <string_view>

#include "node/dialogic_event.h"
#include "node/port_type.h"
#include "node/vesmarin_manager.h"
#include "node/vesmarin_manager_callback.h"
#include "platform/text.h"
#include "telephony/hardware_isdn.h"
#include "telephony/restart_marks.h"
#include "telephony/vendorapi/globalcall.h"
#include "telephony/vendorapi/station.h"
#include "telephony/vendorapi/voice.h"

namespace ruzd::node {

namespace {

// The information elements of an event (U_IES).
constexpr int32_t kInformationElementsId = 16;
// The call information type of an IP call, one byte.
constexpr int32_t kCallInformationTypeId = 265;
// The buffers of the dialled number after more digits, and of the numbers of an offered call.
constexpr size_t kMoreDigitsNumberSize = 49;
constexpr size_t kCallNumberSize = 129;

// A station's hook word: both bits of a pair set.
constexpr uint16_t kOffHookBits = 0x11;
constexpr uint16_t kOnHookBits = 0x110;

// The two query types and the source that ask for every alarm of a line device.
constexpr uint32_t kAllAlarmSources = 0xFFFFFFFF;
constexpr int32_t kAlarmQueryAll = 3;

// Vendor text, in the ANSI code page, up to its NUL or the end of its buffer.
std::string VendorText(const char* buffer, size_t size) {
    return platform::Cp1252ToUtf8(std::string_view(buffer, ::strnlen(buffer, size)));
}

std::string VendorText(const char* text) {
    return text == nullptr ? std::string() : VendorText(text, std::strlen(text));
}

// A Global Call parameter block: its length and that many bytes.
std::optional<ByteView> ParameterBlock(const GC_PARM_BLK* block) {
    if (block == nullptr) {
        return std::nullopt;
    }
    return ByteView(block->parm_data_buf, block->parm_data_size);
}

// The parameter block the meta record points to; none without Global Call.
std::optional<ByteView> ExtensionBlock(const DialogicEvent& event) {
    return ParameterBlock(static_cast<const GC_PARM_BLK*>(event.meta.extevtdatap));
}

}  // namespace

DialogicEventForwarder::DialogicEventForwarder(CVesmarinManager& manager,
                                               telephony::CHardwareISDN& hardware,
                                               const CentralMessages& messages,
                                               net::COutputStreamSocket& listener,
                                               CVesmarinManagerCallback* callback)
    : manager_(manager),
      hardware_(hardware),
      messages_(messages),
      listener_(listener),
      callback_(callback) {}

void DialogicEventForwarder::Forward(DialogicEvent& event) {
    if (ForwardVoiceEvent(event) || ForwardCallEvent(event) || ForwardLineStateEvent(event) ||
        ForwardGlobalCallEvent(event)) {
        return;
    }
    ForwardOtherEvent(event);
}

bool DialogicEventForwarder::ForwardVoiceEvent(DialogicEvent& event) {
    const int32_t device = event.device;
    const int32_t ldev = event.ldev;
    switch (event.code) {
        case TDX_PLAY:
        case TDX_RECORD: {
            const int32_t mask = hardware_.ATDX_TERMMSK(device);
            const int32_t count = hardware_.ATDX_TRCOUNT(device);
            if (event.code == TDX_PLAY) {
                messages_.EndOfPlay(listener_, ldev, mask, count);
            } else {
                messages_.EndOfRecord(listener_, ldev, mask, count);
            }
            event.Log("EndPlay TermMsk=" + std::to_string(mask) +
                      " TrCount=" + std::to_string(count));
            return true;
        }
        case TDX_GETDIG:
            ForwardDigits(event);
            return true;
        case TDX_DIAL:
            hardware_.ATDX_TERMMSK(device);
            messages_.VoiceFunctionDone(listener_, ldev, event.code);
            return true;
        case TDX_CALLP:
            messages_.CallProgressResult(
                listener_, ldev,
                {hardware_.ATDX_CPTERM(device), hardware_.ATDX_CONNTYPE(device),
                 hardware_.ATDX_SHORTLOW(device), hardware_.ATDX_LONGLOW(device),
                 hardware_.ATDX_SIZEHI(device)});
            messages_.VoiceFunctionDone(listener_, ldev, TDX_DIAL, 0);
            return true;
        case TDX_PLAYTONE: {
            const int32_t mask = hardware_.ATDX_TERMMSK(device);
            messages_.EndOfTone(listener_, ldev, mask, event.code);
            event.Log("EndTone TermMsk=" + std::to_string(mask));
            return true;
        }
        case TDX_ERROR:
            event.Log("TDX_ERROR: " + std::to_string(hardware_.ATDV_LASTERR(device)) + " - " +
                      hardware_.ATDV_ERRMSGP(device));
            if (event.port_type == kPortTypeVoice) {
                SimulateVoiceEnds(event);
            }
            return true;
        default:
            return false;
    }
}

void DialogicEventForwarder::ForwardDigits(const DialogicEvent& event) {
    const DV_DIGIT* buffer = manager_.Digits().GetOrCreate(event.ldev);
    // At most 31 digits, so that the text ends inside its half of the record even when the
    // library filled all of it; the types are shown as digits, in a copy, so that the record
    // keeps what the library wrote.
    const size_t count = ::strnlen(buffer->dg_value, sizeof buffer->dg_value - 1);
    const std::string digits = VendorText(buffer->dg_value, count);
    std::string types(buffer->dg_type, count);
    for (char& digit_type : types) {
        digit_type = static_cast<char>(digit_type + '0');
    }
    const int32_t mask = hardware_.ATDX_TERMMSK(event.device);
    const int32_t tone = hardware_.ATDX_TONEID(event.device);
    messages_.Digits(listener_, event.ldev, digits, types, mask, tone);
    event.Log("TDX_GETDIG digits=" + digits + " types=" + types +
              " termmsk=" + std::to_string(mask) + " toneid=" + std::to_string(tone));
}

void DialogicEventForwarder::SimulateVoiceEnds(const DialogicEvent& event) {
    // When the channel does not say which function failed, every kind of end is made up.
    const int32_t ldev = event.ldev;
    const int32_t error = hardware_.ATDV_LASTERR(event.device);
    const int32_t last = manager_.LastVoiceFunctions().Find(ldev).value_or(-1);
    const auto ended = [last](int32_t function) { return last == function || last == -1; };
    const auto simulated = [&event, error](const char* end) {
        event.Log(std::string("Simulate ") + end + " LastError=" + std::to_string(error));
    };
    if (ended(TDX_PLAY)) {
        simulated("EndPlay");
        messages_.EndOfPlay(listener_, ldev, kMadeUpEndMask, error);
    }
    if (ended(TDX_RECORD)) {
        simulated("EndRecord");
        messages_.EndOfRecord(listener_, ldev, kMadeUpEndMask, error);
    }
    if (ended(TDX_GETDIG)) {
        simulated("EndGetDig");
        messages_.Digits(listener_, ldev, "X", "", 0, 0);
    }
    if (ended(TDX_PLAYTONE)) {
        simulated("EndPlayTone");
        messages_.EndOfTone(listener_, ldev, 0, event.code);
    }
}

bool DialogicEventForwarder::ForwardCallEvent(DialogicEvent& event) {
    switch (event.code) {
        case CCEV_TASKFAIL:
            event.Log("CCEV_TASKFAIL: " + hardware_.ATDV_ERRMSGP(event.device));
            messages_.DeviceEvent(listener_, event.Record());
            return true;
        case CCEV_OFFERED:
            ForwardOffered(event);
            return true;
        case CCEV_DISCONNECTED: {
            ReportStatus(event.port_type, event.ldev, "Idle");
            const int32_t cause = hardware_.ResultValue(event.ldev, event.Data());
            event.Log("CCEV_DISCONNECTED: Cause=" + std::to_string(cause));
            messages_.DeviceEventDisconnected(listener_, event.Record(), cause,
                                              ExtensionBlock(event));
            return true;
        }
        case CCEV_CALLINFO:
        case CCEV_ALERTING:
        case CCEV_MODIFY_CALL:
            messages_.DeviceEventWithExtensionData(listener_, event.Record(),
                                                   ExtensionBlock(event));
            return true;
        case CCEV_MOREDIGITS: {
            char dialled[kMoreDigitsNumberSize] = {};
            hardware_.GetDNIS(event.ldev, event.crn, dialled);
            messages_.DeviceEventMoreDigits(listener_, event.Record(),
                                            VendorText(dialled, sizeof dialled),
                                            InformationElements(event));
            return true;
        }
        case CCEV_FACILITY:
            messages_.DeviceEventFacility(listener_, event.Record(), InformationElements(event));
            return true;
        default:
            return false;
    }
}

void DialogicEventForwarder::ForwardOffered(DialogicEvent& event) {
    const int32_t ldev = event.ldev;
    const CRN crn = event.crn;
    char dialled[kCallNumberSize] = {};
    char calling[kCallNumberSize] = {};
    hardware_.GetDNIS(ldev, crn, dialled);
    hardware_.GetANI(ldev, crn, calling);
    OfferedCall call;
    hardware_.GetCallState(ldev, crn, &call.callState);
    call.resultValue = hardware_.ResultValue(ldev, event.Data());
    call.dialledNumber = VendorText(dialled, sizeof dialled);
    call.callingNumber = VendorText(calling, sizeof calling);
    manager_.CallRefs().SetCallRef(ldev, event.port_type, crn, true);
    event.Log("OFFERED did=" + call.dialledNumber + " cli=" + call.callingNumber + " callstate=" +
              std::to_string(call.callState) + " resultval=" + std::to_string(call.resultValue));
    ReportStatus(event.port_type, ldev, "Busy");
    call.infoElements = InformationElements(event);
    if (event.port_type == kPortTypeGlobalCallIp) {
        char information[2] = {};
        hardware_.GetCallInfo(ldev, crn, kCallInformationTypeId, information);
        call.callInformation = static_cast<int8_t>(information[0]);
    }
    messages_.DeviceEventOffered(listener_, event.Record(), call);
}

bool DialogicEventForwarder::ForwardLineStateEvent(DialogicEvent& event) {
    switch (event.code) {
        case CCEV_BLOCKED:
        case CCEV_UNBLOCKED:
        case DTEV_SIGNAL: {
            const int32_t word = event.FirstWord();
            messages_.DeviceEventWithWord(listener_, event.Record(), word);
            event.Log(" evtdata=" + std::to_string(word));
            return true;
        }
        default:
            return false;
    }
}

bool DialogicEventForwarder::ForwardGlobalCallEvent(DialogicEvent& event) {
    switch (event.code) {
        case CCEV_ALARM: {
            uint32_t source = 0;
            int32_t number = 0;
            ALARM_LIST alarms{};
            hardware_.gc_AlarmSourceObjectID(&event.meta, &source);
            hardware_.gc_AlarmNumber(&event.meta, &number);
            hardware_.gc_GetAlarmConfiguration(event.meta.linedev, kAllAlarmSources, &alarms,
                                               kAlarmQueryAll);
            messages_.DeviceEventAlarm(listener_, event.Record(), source, number,
                                       ByteView(alarms.block, sizeof alarms.block));
            return true;
        }
        case CCEV_EXTENSION: {
            std::optional<ExtensionData> extension;
            if (const auto* block = static_cast<const EXTENSIONEVTBLK*>(event.meta.extevtdatap)) {
                extension = ExtensionData{block->ext_id, *ParameterBlock(&block->parmblk)};
            }
            messages_.DeviceEventExtension(listener_, event.Record(), extension);
            return true;
        }
        case CCEV_SERVICE: {
            GC_INFO info{};
            hardware_.gc_ResultInfo(&event.meta, &info);
            const std::string text =
                VendorText(info.ccLibId == GC_NO_CCLIB ? info.gcMsg : info.ccMsg);
            messages_.DeviceEventServiceResponse(listener_, event.Record(), ExtensionBlock(event),
                                                 text);
            return true;
        }
        default:
            return false;
    }
}

void DialogicEventForwarder::ForwardOtherEvent(DialogicEvent& event) {
    if (event.code == CCEV_RESTART) {
        // The restart is complete: call control may act on the line device again, and whatever
        // call it had is gone.
        telephony::ClearRestartMark(event.ldev);
        manager_.CallRefs().SetCallRef(event.ldev, event.port_type, 0, false);
    }
    if (event.port_type == kPortTypeStation) {
        ForwardStationEvent(event);
    } else {
        messages_.DeviceEvent(listener_, event.Record());
    }
}

void DialogicEventForwarder::ForwardStationEvent(DialogicEvent& event) {
    if (event.code != MSEV_SIGNAL) {
        messages_.DeviceEventWithWord(listener_, event.Record(), event.FirstWord());
        return;
    }
    const LibraryEventData hook_data = ReadLibraryEventData(hardware_, event.event_handle);
    const auto hook = LeadingValue<uint16_t>(hook_data.data, hook_data.length);
    if ((hook & kOffHookBits) == kOffHookBits) {
        ReportStatus(kPortTypeStation, event.ldev, "Off Hook");
    } else if ((hook & kOnHookBits) == kOnHookBits) {
        ReportStatus(kPortTypeStation, event.ldev, "On Hook");
    }
    messages_.DeviceEventWithWord(listener_, event.Record(), hook);
}

std::optional<ByteView> DialogicEventForwarder::InformationElements(DialogicEvent& event) {
    std::memset(elements_, 0, sizeof elements_);
    if (hardware_.GetSigInfo(event.ldev, event.device, elements_, kInformationElementsId,
                             event.Data()) != 0) {
        return std::nullopt;
    }
    return ByteView(reinterpret_cast<const uint8_t*>(elements_), sizeof elements_);
}

void DialogicEventForwarder::ReportStatus(int32_t port_type, int32_t ldev, const char* text) {
    if (callback_ != nullptr) {
        callback_->OnVesmarinStatus(port_type, ldev, text, 0);
    }
}

}  // namespace ruzd::node
