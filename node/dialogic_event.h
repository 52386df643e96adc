#pragma once

// One Dialogic event as the forwarding reads it, once, from the vendor library and the manager's
// tables: the device and code the library gives, the line device and device type the tables
// keep for the device, and the call the event belongs to.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/debug_channel.h"
#include "node/central_messages.h"
#include "telephony/vendorapi/globalcall.h"
#include "telephony/vendorapi/isdn.h"

namespace ruzd::telephony {
class CHardwareISDN;
}

namespace ruzd::node {

class CVesmarinManager;

struct DialogicEvent {
    int32_t event_handle = 0;  // only handed on to the event-data query
    int32_t device = 0;        // the vendor's device handle
    int32_t code = 0;
    std::string name;  // the code's name in the event-name table
    int32_t ldev = -1;
    int32_t port_type = -1;  // -1 when the device's type could not be found
    foundation::EDebugChannelType channel = foundation::kDebugChannelNone;
    CRN crn = 0;  // 0 when the event belongs to no call or its call could not be read

    // With Global Call running, the meta record describes the event and is its data; without
    // it the record stays zeroed and the event library gives the data.
    bool global_call = false;
    METAEVENT meta{};
    void* library_data = nullptr;

    // The event-data reference the vendor's queries take.
    void* Data() { return global_call ? static_cast<void*>(&meta) : library_data; }
    // How many bytes the data holds, when that is known: the event library does not say.
    std::optional<size_t> DataLength() const {
        return global_call ? std::optional<size_t>(sizeof meta) : std::nullopt;
    }
    // The first 32-bit word of the data; 0 for an event without data.
    int32_t FirstWord();

    DeviceEventRecord Record() const { return {ldev, port_type, device, code, crn}; }
    // One plain line on the channel of the device's type, for its line device.
    void Log(std::string_view text) const;
};

// Reads the calling thread's current event and logs it. An event of a device the tables do not
// know is logged as such and read as none.
std::optional<DialogicEvent> ReadDialogicEvent(CVesmarinManager& manager,
                                               telephony::CHardwareISDN& hardware,
                                               int32_t event_handle);

}  // namespace ruzd::node
