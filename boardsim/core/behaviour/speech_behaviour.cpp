#include "boardsim/core/behaviours.h"
#include "boardsim/core/machine.h"

namespace ruzd::boardsim {

int32_t Behaviour<tags::ec_setparm>::Run(int32_t dev, uint32_t param, void* value) {
    return Machine::Get().speech().SetParameter(dev, param, value);
}

// Both directions end together: the simulated channel streams only what it hears.
int32_t Behaviour<tags::ec_stopch>::Run(int32_t dev, uint32_t /*type*/, uint16_t /*mode*/) {
    return Machine::Get().speech().Stop(dev);
}

// The stream runs until ec_stopch whatever its termination conditions.
int32_t Behaviour<tags::ec_stream>::Run(int32_t dev, DV_TPT* /*tpt*/, DX_XPB* xpb,
                                        EC_STREAM_CALLBACK callback, uint16_t mode) {
    return Machine::Get().speech().Start(dev, xpb, callback, mode);
}

}  // namespace ruzd::boardsim
