#pragma once

// What Global Call does with a line device beside its calls (globalcall_line_behaviour.cpp):
// its media device, the settings and messages it keeps, traces, call acknowledgement, alarms,
// user information, call modification and vendor extensions. Included by behaviours.h.

#include "boardsim/core/dispatch.h"

namespace ruzd::boardsim {

BOARDSIM_BEHAVIOUR(gc_GetResourceH, int32_t,
                   (LINEDEV linedev, int32_t* resource, int32_t resource_type))
BOARDSIM_BEHAVIOUR(gc_SetParm, int32_t, (LINEDEV linedev, int32_t parm_id, GC_PARM value))
BOARDSIM_BEHAVIOUR(gc_SetEvtMsk, int32_t, (LINEDEV linedev, uint32_t mask, int32_t action))
BOARDSIM_BEHAVIOUR(cc_SetDChanCfg, int32_t, (LINEDEV linedev, DCHAN_CFG* config))
BOARDSIM_BEHAVIOUR(gc_CallProgress, int32_t, (CRN crn, int32_t indicator))
BOARDSIM_BEHAVIOUR(gc_SndMsg, int32_t, (LINEDEV linedev, CRN crn, int32_t msg_type, GC_IE_BLK* ie))
BOARDSIM_BEHAVIOUR(gc_StartTrace, int32_t, (LINEDEV linedev, const char* file))
BOARDSIM_BEHAVIOUR(gc_StopTrace, int32_t, (LINEDEV linedev))
BOARDSIM_BEHAVIOUR(gc_CallAck, int32_t, (CRN crn, GC_CALLACK_BLK* callack, uint32_t mode))
BOARDSIM_BEHAVIOUR(gc_SetAlarmNotifyAll, int32_t,
                   (LINEDEV linedev, uint32_t alarm_source, int32_t value))
BOARDSIM_BEHAVIOUR(gc_AlarmNumber, int32_t, (METAEVENT * metaevent, int32_t* alarm_number))
BOARDSIM_BEHAVIOUR(gc_AlarmSourceObjectID, int32_t, (METAEVENT * metaevent, uint32_t* alarm_source))
BOARDSIM_BEHAVIOUR(gc_GetAlarmConfiguration, int32_t,
                   (LINEDEV linedev, uint32_t alarm_source, ALARM_LIST* alarms, int32_t query_type))
BOARDSIM_BEHAVIOUR(ipm_ResetQoSAlarmStatus, int32_t,
                   (int32_t dev, IPM_QOS_ALARM_STATUS* status, uint16_t mode))
BOARDSIM_BEHAVIOUR(gc_SetUserInfo, int32_t,
                   (int32_t target_type, LINEDEV target_id, GC_PARM_BLKP info, int32_t duration))
BOARDSIM_BEHAVIOUR(gc_AcceptModifyCall, int32_t, (CRN crn, GC_PARM_BLKP parameters, uint32_t mode))
BOARDSIM_BEHAVIOUR(gc_Extension, int32_t,
                   (int32_t target_type, LINEDEV target_id, uint8_t extension_id,
                    GC_PARM_BLKP parameters, GC_PARM_BLKP* result, uint32_t mode))

}  // namespace ruzd::boardsim
