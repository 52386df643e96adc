// Reading a Dialogic event: Global Call describes the event while it runs, else the event
// library does.

#include "node/dialogic_event.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "foundation/debug_log.h"
#include "node/port_type.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"
#include "telephony/hardware_isdn.h"
#include "telephony/vendorapi/voice.h"

namespace ruzd::node {

using foundation::EDebugChannelType;
using foundation::kDebugChannelNone;
using foundation::kDebugNone;

namespace {

// A device's type may be stored just after its open returned, while its first event is already
// on its way: the reader looks again for half a second before it gives up.
constexpr int kDeviceTypeRetries = 50;
constexpr auto kDeviceTypeRetryPause = std::chrono::milliseconds(10);

// One plain line for a line device, with the call id the log remembers for it.
void LogLine(EDebugChannelType channel, int32_t line, std::string_view text) {
    if (std::shared_ptr<foundation::CDebugFile> log = foundation::GetDebugFile()) {
        log->BeginLine(channel, line, foundation::GetLineCallId(channel, line))
            .Append(text)
            .EndLine();
    }
}

void ReadFromLibrary(telephony::CHardwareISDN& hardware, DialogicEvent& event) {
    event.global_call = hardware.IsGlobalCallInitialised();
    if (event.global_call) {
        hardware.gc_GetMetaEvent(&event.meta);
        event.device = event.meta.evtdev;
        event.code = event.meta.evttype;
    } else {
        event.device = hardware.sr_getevtdev();
        event.code = hardware.sr_getevttype();
        event.library = ReadLibraryEventData(hardware, event.event_handle);
    }
}

int32_t ReadPortType(CVesmarinManager& manager, const DialogicEvent& event) {
    int32_t type = -1;
    for (int retry = 0; !manager.Devices().PortTypes().Get(event.device, &type); ++retry) {
        if (retry == kDeviceTypeRetries) {
            LogLine(kDebugChannelNone, event.ldev, "Dev Type unknown!");
            return -1;
        }
        std::this_thread::sleep_for(kDeviceTypeRetryPause);
    }
    return type;
}

// The call of an event on a network or Global Call IP line; 0 for a failed lookup.
CRN ReadCallReference(telephony::CHardwareISDN& hardware, DialogicEvent& event) {
    if (event.code == TDX_CST ||
        (event.port_type != kPortTypeNetwork && event.port_type != kPortTypeGlobalCallIp)) {
        return 0;
    }
    CRN crn = 0;
    const int32_t result = hardware.GetCRN(event.ldev, &crn, event.Data());
    event.Log("local vl_GetCRN dev=" + std::to_string(event.device) +
              " crn=" + std::to_string(crn) + " RET=" + std::to_string(result));
    return result == 0 ? crn : 0;
}

std::string Hex(int32_t value) {
    return platform::Format("0x%x", static_cast<unsigned>(value));
}

}  // namespace

LibraryEventData ReadLibraryEventData(telephony::CHardwareISDN& hardware, int32_t event_handle) {
    LibraryEventData read;
    read.data = hardware.sr_getevtdatap(event_handle);
    read.length = static_cast<size_t>(std::max(hardware.sr_getevtlen(event_handle), 0));
    return read;
}

void DialogicEvent::Log(std::string_view text) const {
    LogLine(channel, ldev, text);
}

std::optional<DialogicEvent> ReadDialogicEvent(CVesmarinManager& manager,
                                               telephony::CHardwareISDN& hardware,
                                               int32_t event_handle) {
    DialogicEvent event;
    event.event_handle = event_handle;
    ReadFromLibrary(hardware, event);
    event.name = manager.GetISDNEvents(event.code);

    if (!manager.Devices().HandleLdevs().Get(event.device, &event.ldev)) {
        LogLine(kDebugChannelNone, kDebugNone,
                "Event: port=UNKNOWN dev=" + std::to_string(event.device) +
                    " type=" + Hex(event.code) + " <" + event.name + " RET=ERROR");
        return std::nullopt;
    }
    event.port_type = ReadPortType(manager, event);
    event.channel =
        static_cast<EDebugChannelType>(CVesmarinManager::PortTypeToLogChannel(event.port_type));
    if (event.code == CCEV_OFFERED) {
        // A new call: the lines of this device no longer belong to the command of the last one.
        foundation::SetLineCallId(event.channel, event.ldev, kDebugNone);
    }
    event.crn = ReadCallReference(hardware, event);
    event.Log("ldev=" + std::to_string(event.ldev) + " type=" + Hex(event.code) + " <" +
              event.name + ">");
    return event;
}

}  // namespace ruzd::node
