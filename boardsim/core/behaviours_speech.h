#pragma once

// Continuous speech processing on the voice channels (speech_behaviour.cpp).

#include "boardsim/core/dispatch.h"

namespace ruzd::boardsim {

BOARDSIM_BEHAVIOUR(ec_setparm, int32_t, (int32_t dev, uint32_t param, void* value))
BOARDSIM_BEHAVIOUR(ec_stopch, int32_t, (int32_t dev, uint32_t type, uint16_t mode))
BOARDSIM_BEHAVIOUR(ec_stream, int32_t,
                   (int32_t dev, DV_TPT* tpt, DX_XPB* xpb, EC_STREAM_CALLBACK callback,
                    uint16_t mode))

}  // namespace ruzd::boardsim
