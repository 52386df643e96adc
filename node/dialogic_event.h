#pragma once

// One Dialogic event as the forwarding reads it, once, from the vendor library and the manager's
// tables: the device and code the library gives, the line device and device type the tables
// keep for the device, and the call the event belongs to.

#include <cstddef>
#include <cstdint>
#include <cstring>
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

// The data of the current event as the event library gives it: where it is and how many bytes
// it holds.
struct LibraryEventData {
    void* data = nullptr;
    size_t length = 0;
};

// Asks the event library for the current event's data, then for its length.
LibraryEventData ReadLibraryEventData(telephony::CHardwareISDN& hardware, int32_t event_handle);

// The value at the start of the data; 0 when there is no data or it is shorter than the value,
// so that nothing past the data's end is ever read.
template <typename Value>
Value LeadingValue(const void* data, size_t length) {
    Value value{};
    if (data != nullptr && length >= sizeof value) {
        std::memcpy(&value, data, sizeof value);
    }
    return value;
}

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
    LibraryEventData library;

    // The event-data reference the vendor's queries take.
    void* Data() { return global_call ? static_cast<void*>(&meta) : library.data; }
    // How many bytes the data holds.
    size_t DataLength() const { return global_call ? sizeof meta : library.length; }
    // The first 32-bit word of the data; 0 for an event without data or with a shorter one.
    int32_t FirstWord() { return LeadingValue<int32_t>(Data(), DataLength()); }

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
