// The facade operations of the event library: events (sr_) and device attributes (ATDV_).

#include "platform/text.h"
#include "telephony/hardware_isdn.h"
#include "telephony/vendor_call.h"

namespace ruzd::telephony {

#define FACADE_TABLE event_.get()
#define FACADE_TABLE_CLASS CLibSRLMT
#define FACADE_DEFAULT_FORM plain
#define FACADE_LIST "telephony/vendorapi/libsrlmt_functions.inc"
#include "telephony/facade_definitions.inc"

// The three readers of the current event come twice: without an argument (the event the
// thread last waited for) and with an event handle, each through its own table member. Both
// members call the one export, which always takes an event handle.

namespace {

// The event handle that names the event the calling thread last waited for.
constexpr int32_t kCurrentEvent = 0;

}  // namespace

int32_t CHardwareISDN::sr_getevtdev() {
    return VendorCall(event_.get(), &CLibSRLMT::sr_getevtdev_0, kCurrentEvent);
}

int32_t CHardwareISDN::sr_getevtdev(int32_t event_handle) {
    return VendorCall(event_.get(), &CLibSRLMT::sr_getevtdev_1, event_handle);
}

int32_t CHardwareISDN::sr_getevttype() {
    return VendorCall(event_.get(), &CLibSRLMT::sr_getevttype_0, kCurrentEvent);
}

int32_t CHardwareISDN::sr_getevttype(int32_t event_handle) {
    return VendorCall(event_.get(), &CLibSRLMT::sr_getevttype_1, event_handle);
}

void* CHardwareISDN::sr_getevtdatap() {
    return VendorCall(event_.get(), &CLibSRLMT::sr_getevtdatap_0, kCurrentEvent);
}

void* CHardwareISDN::sr_getevtdatap(int32_t event_handle) {
    return VendorCall(event_.get(), &CLibSRLMT::sr_getevtdatap_1, event_handle);
}

// Values the vendor uses for "no device".
bool CHardwareISDN::IsValidHandle(int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    return bits != 0 && bits != 0xFFFF && bits != 0xFFFFFFFF;
}

std::string CHardwareISDN::DeviceText(const char* (*CLibSRLMT::*member)(int32_t),
                                      int32_t dev) const {
    const char* text = VendorCall(event_.get(), member, dev);
    return text == nullptr ? std::string() : platform::Cp1252ToUtf8(text);
}

// The text is returned as a copy: callers on other threads may ask at the same time.
std::string CHardwareISDN::ATDV_NAMEP(int32_t dev) {
    return DeviceText(&CLibSRLMT::ATDV_NAMEP, dev);
}

std::string CHardwareISDN::ATDV_ERRMSGP(int32_t dev) {
    return DeviceText(&CLibSRLMT::ATDV_ERRMSGP, dev);
}

}  // namespace ruzd::telephony
