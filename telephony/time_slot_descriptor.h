#pragma once

// The first slot of a time-slot descriptor, where the bus operations keep the one slot they
// work with.

#include <cstdint>

#include "telephony/vendorapi/bus.h"

namespace ruzd::telephony {

// 0 when there is no descriptor or no slot array.
inline int32_t FirstSlotOf(const SC_TSINFO* descriptor) {
    if (descriptor == nullptr || descriptor->sc_tsarrayp == nullptr)
        return 0;
    return descriptor->sc_tsarrayp[0];
}

// Nothing without a descriptor or a slot array.
inline void StoreFirstSlot(SC_TSINFO* descriptor, int32_t slot) {
    if (descriptor != nullptr && descriptor->sc_tsarrayp != nullptr)
        descriptor->sc_tsarrayp[0] = slot;
}

}  // namespace ruzd::telephony
