#include "telephony/device_handle_lookup.h"

namespace ruzd::telephony {

foundation::Published<DeviceHandleLookup>& PublishedDeviceHandles() {
    static foundation::Published<DeviceHandleLookup> published;
    return published;
}

}  // namespace ruzd::telephony
