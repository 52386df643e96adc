// Forwarding of the Dialogic events: each event the ISDN worker takes becomes a device event
// (message 12) for the central server, or, for the end of a voice function, the message the
// central server waits for after starting that function.

#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "foundation/debug_channel.h"
#include "foundation/debug_function.h"
#include "foundation/debug_log.h"
#include "node/port_type.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"
#include "telephony/restart_marks.h"
#include "telephony/vendorapi/globalcall.h"
#include "telephony/vendorapi/isdn.h"
#include "telephony/vendorapi/station.h"
#include "telephony/vendorapi/voice.h"

namespace ruzd::node {

using foundation::EDebugChannelType;
using foundation::kDebugChannelGeneral;
using foundation::kDebugChannelNone;
using foundation::kDebugNone;

namespace {

// A device's type may be stored just after its open returned, while its first event is already
// on its way: the handler looks again for half a second before it gives up.
constexpr int kDeviceTypeRetries = 50;
constexpr auto kDeviceTypeRetryPause = std::chrono::milliseconds(10);

// The termination mask of an end of play or record that the node made up after a failure.
constexpr int32_t kSimulatedEndMask = 0x2B67;

// The information elements of an event (U_IES), read into a block of this size.
constexpr int32_t kInformationElementsId = 16;
constexpr size_t kInformationElementsSize = sizeof(IE_BLK);
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

std::string Hex(int32_t value) {
    return platform::Format("0x%x", static_cast<unsigned>(value));
}

// Vendor text, in the ANSI code page, up to its NUL or the end of its buffer.
std::string VendorText(const char* buffer, size_t size) {
    return platform::Cp1252ToUtf8(std::string_view(buffer, ::strnlen(buffer, size)));
}

std::string VendorText(const char* text) {
    return text == nullptr ? std::string() : VendorText(text, std::strlen(text));
}

// The first 32-bit word of an event's data; 0 for an event without data.
int32_t FirstWord(const void* data) {
    int32_t word = 0;
    if (data != nullptr) {
        std::memcpy(&word, data, sizeof word);
    }
    return word;
}

// A Global Call parameter block: its length and that many bytes.
std::optional<ByteView> ParameterBlock(const GC_PARM_BLK* block) {
    if (block == nullptr) {
        return std::nullopt;
    }
    return ByteView(block->parm_data_buf, block->parm_data_size);
}

// One plain line for a line device, with the call id the log remembers for it.
void LogLine(EDebugChannelType channel, int32_t line, std::string_view text) {
    if (std::shared_ptr<foundation::CDebugFile> log = foundation::GetDebugFile()) {
        log->BeginLine(channel, line, foundation::GetLineCallId(channel, line))
            .Append(text)
            .EndLine();
    }
}

}  // namespace

void CVesmarinManager::DialogicHandler(int32_t eventHandle) {
    foundation::CDebugFunction trace;
    trace.Enter("DialogicHandler", kDebugNone, kDebugChannelGeneral, kDebugNone)
        ->Append(eventHandle)
        .EndLine();
    telephony::CHardwareISDN* const hardware = hardware_.get();
    if (hardware == nullptr) {
        return;
    }

    // The event: Global Call describes it while it runs, else the event library. Without Global
    // Call the meta event stays zeroed and carries no extension data.
    METAEVENT meta{};
    int32_t device = 0;
    int32_t code = 0;
    void* data = nullptr;
    if (hardware->IsGlobalCallInitialised()) {
        hardware->gc_GetMetaEvent(&meta);
        device = meta.evtdev;
        code = meta.evttype;
        data = &meta;
    } else {
        device = hardware->sr_getevtdev();
        code = hardware->sr_getevttype();
        data = hardware->sr_getevtdatap(eventHandle);
    }
    const std::string& name = GetISDNEvents(code);

    int32_t ldev = -1;
    if (!GetHandleLdev(device, &ldev)) {
        LogLine(kDebugChannelNone, kDebugNone,
                "Event: port=UNKNOWN dev=" + std::to_string(device) + " type=" + Hex(code) + " <" +
                    name + " RET=ERROR");
        return;
    }
    int32_t type = -1;
    for (int retry = 0; !GetDevicePortType(device, &type); ++retry) {
        if (retry == kDeviceTypeRetries) {
            LogLine(kDebugChannelNone, ldev, "Dev Type unknown!");
            type = -1;
            break;
        }
        std::this_thread::sleep_for(kDeviceTypeRetryPause);
    }

    const auto channel = static_cast<EDebugChannelType>(PortTypeToLogChannel(type));
    const auto log = [channel, ldev](const std::string& text) { LogLine(channel, ldev, text); };
    if (code == CCEV_OFFERED) {
        // A new call: the lines of this device no longer belong to the command of the last one.
        foundation::SetLineCallId(channel, ldev, kDebugNone);
    }

    CRN crn = 0;
    if (code != TDX_CST && (type == kPortTypeNetwork || type == kPortTypeGlobalCallIp)) {
        const int32_t result = hardware->GetCRN(ldev, &crn, data);
        log("local vl_GetCRN dev=" + std::to_string(device) + " crn=" + std::to_string(crn) +
            " RET=" + std::to_string(result));
        if (result != 0) {
            crn = 0;
        }
    }
    log("ldev=" + std::to_string(ldev) + " type=" + Hex(code) + " <" + name + ">");

    if (!listener_) {
        log("No server socket any more!");
        return;
    }
    net::COutputStreamSocket& listener = *listener_;
    const DeviceEventRecord record{ldev, type, device, code, crn};
    const auto reportStatus = [this](int32_t portType, int32_t line, const char* text) {
        if (callback_ != nullptr) {
            callback_->OnVesmarinStatus(portType, line, text, 0);
        }
    };
    // The information elements of the event, when they can be read.
    char elements[kInformationElementsSize] = {};
    const auto informationElements = [&]() -> std::optional<ByteView> {
        std::memset(elements, 0, sizeof elements);
        if (hardware->GetSigInfo(ldev, device, elements, kInformationElementsId, data) != 0) {
            return std::nullopt;
        }
        return ByteView(reinterpret_cast<const uint8_t*>(elements), sizeof elements);
    };
    const auto extensionData = [&meta] {
        return ParameterBlock(static_cast<const GC_PARM_BLK*>(meta.extevtdatap));
    };

    switch (code) {
        case CCEV_TASKFAIL:
            log("CCEV_TASKFAIL: " + hardware->ATDV_ERRMSGP(device));
            messages_.DeviceEvent(listener, record);
            break;

        case TDX_PLAY:
        case TDX_RECORD: {
            const int32_t mask = hardware->ATDX_TERMMSK(device);
            const int32_t count = hardware->ATDX_TRCOUNT(device);
            if (code == TDX_PLAY) {
                messages_.EndOfPlay(listener, ldev, mask, count);
            } else {
                messages_.EndOfRecord(listener, ldev, mask, count);
            }
            log("EndPlay TermMsk=" + std::to_string(mask) + " TrCount=" + std::to_string(count));
            break;
        }

        case TDX_GETDIG: {
            const DV_DIGIT* buffer = GetOrCreateDigitBuffer(ldev);
            // At most 31 digits, so that the text ends inside its half of the record even when
            // the library filled all of it; the types are shown as digits, in a copy, so that
            // the record keeps what the library wrote.
            const size_t count = ::strnlen(buffer->dg_value, sizeof buffer->dg_value - 1);
            const std::string digits = VendorText(buffer->dg_value, count);
            std::string types(buffer->dg_type, count);
            for (char& digitType : types) {
                digitType = static_cast<char>(digitType + '0');
            }
            const int32_t mask = hardware->ATDX_TERMMSK(device);
            const int32_t tone = hardware->ATDX_TONEID(device);
            messages_.Digits(listener, ldev, digits, types, mask, tone);
            log("TDX_GETDIG digits=" + digits + " types=" + types +
                " termmsk=" + std::to_string(mask) + " toneid=" + std::to_string(tone));
            break;
        }

        case TDX_DIAL:
            hardware->ATDX_TERMMSK(device);
            messages_.VoiceFunctionDone(listener, ldev, code);
            break;

        case TDX_CALLP:
            messages_.CallProgressResult(
                listener, ldev,
                {hardware->ATDX_CPTERM(device), hardware->ATDX_CONNTYPE(device),
                 hardware->ATDX_SHORTLOW(device), hardware->ATDX_LONGLOW(device),
                 hardware->ATDX_SIZEHI(device)});
            messages_.VoiceFunctionDone(listener, ldev, TDX_DIAL, 0);
            break;

        case TDX_PLAYTONE: {
            const int32_t mask = hardware->ATDX_TERMMSK(device);
            messages_.EndOfTone(listener, ldev, mask, code);
            log("EndTone TermMsk=" + std::to_string(mask));
            break;
        }

        case TDX_ERROR: {
            log("TDX_ERROR: " + std::to_string(hardware->ATDV_LASTERR(device)) + " - " +
                hardware->ATDV_ERRMSGP(device));
            if (type != kPortTypeVoice) {
                break;
            }
            // The central server waits for the end of the function that failed; when the
            // channel does not say which one it was, every kind of end is made up.
            const int32_t error = hardware->ATDV_LASTERR(device);
            const int32_t last = GetLastVoiceFunction(ldev);
            const auto ended = [last](int32_t function) { return last == function || last == -1; };
            if (ended(TDX_PLAY)) {
                log("Simulate EndPlay LastError=" + std::to_string(error));
                messages_.EndOfPlay(listener, ldev, kSimulatedEndMask, error);
            }
            if (ended(TDX_RECORD)) {
                log("Simulate EndRecord LastError=" + std::to_string(error));
                messages_.EndOfRecord(listener, ldev, kSimulatedEndMask, error);
            }
            if (ended(TDX_GETDIG)) {
                log("Simulate EndGetDig LastError=" + std::to_string(error));
                messages_.Digits(listener, ldev, "X", "", 0, 0);
            }
            if (ended(TDX_PLAYTONE)) {
                log("Simulate EndPlayTone LastError=" + std::to_string(error));
                messages_.EndOfTone(listener, ldev, 0, code);
            }
            break;
        }

        case CCEV_OFFERED: {
            char dialled[kCallNumberSize] = {};
            char calling[kCallNumberSize] = {};
            hardware->GetDNIS(ldev, crn, dialled);
            hardware->GetANI(ldev, crn, calling);
            OfferedCall call;
            hardware->GetCallState(ldev, crn, &call.callState);
            call.resultValue = hardware->ResultValue(ldev, data);
            call.dialledNumber = VendorText(dialled, sizeof dialled);
            call.callingNumber = VendorText(calling, sizeof calling);
            SetCallRef(ldev, type, crn, true);
            log("OFFERED did=" + call.dialledNumber + " cli=" + call.callingNumber + " callstate=" +
                std::to_string(call.callState) + " resultval=" + std::to_string(call.resultValue));
            reportStatus(type, ldev, "Busy");
            call.infoElements = informationElements();
            if (type == kPortTypeGlobalCallIp) {
                char information[2] = {};
                hardware->GetCallInfo(ldev, crn, kCallInformationTypeId, information);
                call.callInformation = static_cast<int8_t>(information[0]);
            }
            messages_.DeviceEventOffered(listener, record, call);
            break;
        }

        case CCEV_DISCONNECTED: {
            reportStatus(type, ldev, "Idle");
            const int32_t cause = hardware->ResultValue(ldev, data);
            log("CCEV_DISCONNECTED: Cause=" + std::to_string(cause));
            messages_.DeviceEventDisconnected(listener, record, cause, extensionData());
            break;
        }

        case CCEV_BLOCKED:
        case CCEV_UNBLOCKED:
        case DTEV_SIGNAL: {
            const int32_t word = FirstWord(data);
            messages_.DeviceEventWithWord(listener, record, word);
            log(" evtdata=" + std::to_string(word));
            break;
        }

        case CCEV_CALLINFO:
        case CCEV_ALERTING:
        case CCEV_MODIFY_CALL:
            messages_.DeviceEventWithExtensionData(listener, record, extensionData());
            break;

        case CCEV_MOREDIGITS: {
            char dialled[kMoreDigitsNumberSize] = {};
            hardware->GetDNIS(ldev, crn, dialled);
            messages_.DeviceEventMoreDigits(listener, record, VendorText(dialled, sizeof dialled),
                                            informationElements());
            break;
        }

        case CCEV_FACILITY:
            messages_.DeviceEventFacility(listener, record, informationElements());
            break;

        case CCEV_ALARM: {
            uint32_t source = 0;
            int32_t number = 0;
            ALARM_LIST alarms{};
            hardware->gc_AlarmSourceObjectID(&meta, &source);
            hardware->gc_AlarmNumber(&meta, &number);
            hardware->gc_GetAlarmConfiguration(meta.linedev, kAllAlarmSources, &alarms,
                                               kAlarmQueryAll);
            messages_.DeviceEventAlarm(listener, record, source, number,
                                       ByteView(alarms.block, sizeof alarms.block));
            break;
        }

        case CCEV_EXTENSION: {
            std::optional<ExtensionData> extension;
            if (const auto* block = static_cast<const EXTENSIONEVTBLK*>(meta.extevtdatap)) {
                extension = ExtensionData{block->ext_id, *ParameterBlock(&block->parmblk)};
            }
            messages_.DeviceEventExtension(listener, record, extension);
            break;
        }

        case CCEV_SERVICE: {
            GC_INFO info{};
            hardware->gc_ResultInfo(&meta, &info);
            const std::string text =
                VendorText(info.ccLibId == GC_NO_CCLIB ? info.gcMsg : info.ccMsg);
            messages_.DeviceEventServiceResponse(listener, record, extensionData(), text);
            break;
        }

        default:
            if (code == CCEV_RESTART) {
                // The restart is complete: call control may act on the line device again, and
                // whatever call it had is gone.
                telephony::ClearRestartMark(ldev);
                SetCallRef(ldev, type, 0, false);
            }
            if (type != kPortTypeStation) {
                messages_.DeviceEvent(listener, record);
            } else if (code == MSEV_SIGNAL) {
                uint16_t hook = 0;
                if (const void* hookData = hardware->sr_getevtdatap(eventHandle)) {
                    std::memcpy(&hook, hookData, sizeof hook);
                }
                if ((hook & kOffHookBits) == kOffHookBits) {
                    reportStatus(kPortTypeStation, ldev, "Off Hook");
                } else if ((hook & kOnHookBits) == kOnHookBits) {
                    reportStatus(kPortTypeStation, ldev, "On Hook");
                }
                messages_.DeviceEventWithWord(listener, record, hook);
            } else {
                messages_.DeviceEventWithWord(listener, record, FirstWord(data));
            }
            break;
    }
}

}  // namespace ruzd::node
