// Global Call start-up: the call-control libraries the node uses, with the settings of the IP
// virtual board from the "Orvanthella" registry section.

#include <cstring>

#include "foundation/fatal_error_box.h"
#include "foundation/registry.h"
#include "platform/text.h"
#include "telephony/global_call_start_data.h"
#include "telephony/hardware_isdn.h"
#include "telephony/registry_readers.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {
namespace {

constexpr int kFatalNoGlobalCall = 31;
constexpr uint16_t kLibraryDefaultPort = 65535;
constexpr uint16_t kSipStandardPort = 5060;

const char* CallControlLibraryState(int32_t state) {
    switch (state) {
        case GC_CCLIB_AVAILABLE:
            return "available";
        case GC_CCLIB_CONFIGURED:
            return "configured";
        case GC_CCLIB_FAILED:
            return "is not available for use";
        default:
            return "unknown CCLIB status";
    }
}

}  // namespace

int32_t CHardwareISDN::InitGlobalCall(uint32_t max_calls, std::string* address_text) {
    if (IsGlobalCallInitialised()) {
        VendorTrace(0, 0, "GLOBALCALL already initialised");
        return 1;
    }
    if (global_call_ == nullptr) {
        VendorTrace(0, 0,
                    "GLOBALCALL can not be initialised. NOT POSSIBLE with this version of "
                    "dialogic");
        foundation::FatalErrorBox(kFatalNoGlobalCall);
        return 0;
    }
    bool started = true;
    IpBoardSettings settings;
    settings.max_calls = max_calls;

    foundation::CRegistry registry("Orvanthella");
    std::string address_read;
    settings.address =
        ReadValidatedIPAddress(registry, "HMP1_IPAddress", IP_CFG_DEFAULT_ADDRESS, &address_read);
    if (address_text != nullptr && settings.address != IP_CFG_DEFAULT_ADDRESS)
        *address_text = address_read;
    settings.sip_port = ReadRegistryPort(registry, "HMP1_Port", kLibraryDefaultPort);
    if (address_text != nullptr && settings.sip_port != kLibraryDefaultPort &&
        settings.sip_port != kSipStandardPort)
        *address_text += platform::Format(":%u", static_cast<unsigned>(settings.sip_port));
    settings.tcp_enabled = ReadRegistryFlag(registry, "HMP1_TcpEnabled", 0);
    settings.session_timers_enabled = ReadRegistryFlag(registry, "HMP1_SessionTimersEnabled", 0);

    int32_t ip_boards = 0;
    if (sr_getboardcnt("IPT", &ip_boards) != 0) {
        ip_boards = 0;
        VendorTrace(0, 0, "InitGlobalCall Could not get board count for IP.");
    } else {
        VendorTrace(0, 0, "InitGlobalCall: Number of IPT boards=%d", ip_boards);
    }

    GlobalCallStartData start_data(settings, ip_boards != 0);
    if (gc_Start(start_data.start()) != 0) {
        int32_t gc_error = 0;
        int32_t cclib_id = 0;
        int32_t cclib_error = 0;
        gc_ErrorValue(&gc_error, &cclib_id, &cclib_error);
        // Started already (by another part of the process) is as good as started now.
        if (gc_error != EGC_ALREADY_STARTED) {
            char* message = nullptr;
            gc_ResultMsg(0, gc_error, &message);
            VendorTrace(0, 0, "Error in gc_Start ErrorValue: %d - %s", gc_error,
                        message != nullptr ? platform::Cp1252ToUtf8(message).c_str() : "");
            started = false;
        }
    }

    // A status record the library did not fill holds nothing worth printing.
    GC_CCLIB_STATUSALL status{};
    if (gc_CCLibStatusEx("GC_ALL_LIB", &status) != 0) {
        VendorTrace(0, 0, "gc_CCLibStatusEx(GC_ALL_LIB, &cclib_status_all) Failed");
    } else {
        for (const GC_CCLIB_STATUS& library : status.cclib_state) {
            const std::string name(library.name, strnlen(library.name, sizeof(library.name)));
            VendorTrace(0, 0, "Call Control Library Status: %s - %s",
                        platform::Cp1252ToUtf8(name).c_str(),
                        CallControlLibraryState(library.state));
        }
    }

    if (!started)
        return 0;
    SetGlobalCallInitialised(true);
    VendorTrace(0, 0, "GLOBALCALL Initialised!");
    return 1;
}

}  // namespace ruzd::telephony
