#pragma once

// The IP call-control requests made through parameter blocks (ip_service_behaviour.cpp):
// configuration, authentication and service requests on Global Call line devices. Included
// by behaviours.h.

#include "boardsim/core/dispatch.h"

namespace ruzd::boardsim {

BOARDSIM_BEHAVIOUR(gc_SetConfigData, int32_t,
                   (int32_t target_type, LINEDEV target_id, GC_PARM_BLKP parameters,
                    int32_t timeout, int32_t update_condition, int32_t* request_id, uint32_t mode))
BOARDSIM_BEHAVIOUR(gc_SetAuthenticationInfo, int32_t,
                   (int32_t target_type, LINEDEV target_id, GC_PARM_BLKP parameters))
BOARDSIM_BEHAVIOUR(gc_ReqService, int32_t,
                   (int32_t target_type, LINEDEV target_id, uint32_t* service_id,
                    GC_PARM_BLKP request, GC_PARM_BLKP* response, uint32_t mode))

}  // namespace ruzd::boardsim
