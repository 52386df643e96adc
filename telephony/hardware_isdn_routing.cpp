// The facade's routing operations: they hand the request on to the bus routing.

#include "telephony/hardware_isdn.h"
#include "telephony/tdm_routing.h"

namespace ruzd::telephony {

int32_t CHardwareISDN::nr_scroute(int32_t device1, int32_t type1, int32_t device2, int32_t type2,
                                  uint8_t mode) {
    return Route(device1, type1, device2, type2, mode);
}

int32_t CHardwareISDN::nr_scunroute(int32_t device1, int32_t type1, int32_t device2, int32_t type2,
                                    uint8_t mode) {
    return Unroute(device1, type1, device2, type2, mode);
}

}  // namespace ruzd::telephony
