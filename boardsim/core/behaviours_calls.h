#pragma once

// The call model's functions: ISDN call control (isdn_behaviour.cpp), Global Call's calls
// (globalcall_call_behaviour.cpp), its start-up and errors (globalcall_start_behaviour.cpp)
// and its parameter blocks (parameter_block_behaviour.cpp). Included by behaviours.h.

#include "boardsim/core/dispatch.h"

namespace ruzd::boardsim {

BOARDSIM_BEHAVIOUR(cc_WaitCall, int32_t,
                   (LINEDEV linedev, CRN* crn, WAITCALL_BLK* waitcall, int32_t timeout,
                    uint32_t mode))
BOARDSIM_BEHAVIOUR(cc_MakeCall, int32_t,
                   (LINEDEV linedev, CRN* crn, const char* number, MAKECALL_BLK* makecall,
                    int32_t timeout, uint32_t mode))
BOARDSIM_BEHAVIOUR(cc_AcceptCall, int32_t, (CRN crn, int32_t rings, uint32_t mode))
BOARDSIM_BEHAVIOUR(cc_AnswerCall, int32_t, (CRN crn, int32_t rings, uint32_t mode))
BOARDSIM_BEHAVIOUR(cc_DropCall, int32_t, (CRN crn, int32_t cause, uint32_t mode))
BOARDSIM_BEHAVIOUR(cc_ReleaseCall, int32_t, (CRN crn))
BOARDSIM_BEHAVIOUR(cc_ReleaseCallEx, int32_t, (CRN crn, uint32_t mode))
BOARDSIM_BEHAVIOUR(cc_HoldCall, int32_t, (CRN crn, uint32_t mode))
BOARDSIM_BEHAVIOUR(cc_RetrieveCall, int32_t, (CRN crn, uint32_t mode))
BOARDSIM_BEHAVIOUR(cc_Restart, int32_t, (LINEDEV linedev, uint32_t mode))
BOARDSIM_BEHAVIOUR(cc_SetChanState, int32_t, (LINEDEV linedev, int32_t state, int32_t mode))
BOARDSIM_BEHAVIOUR(cc_GetBChanState, int32_t, (LINEDEV linedev, int32_t* state))
BOARDSIM_BEHAVIOUR(cc_GetDChanState, int32_t, (LINEDEV linedev, int32_t* state))
BOARDSIM_BEHAVIOUR(cc_GetCRN, int32_t, (CRN * crn, void* evtdata))
BOARDSIM_BEHAVIOUR(cc_ResultValue, int32_t, (void* evtdata))
BOARDSIM_BEHAVIOUR(cc_ResultMsg, int32_t, (LINEDEV linedev, int32_t result_code, char** msg))
BOARDSIM_BEHAVIOUR(cc_GetSigInfo, int32_t, (char* buffer, int32_t info_id, void* evtdata))
BOARDSIM_BEHAVIOUR(cc_GetCallInfo, int32_t, (CRN crn, int32_t info_id, char* buffer))
BOARDSIM_BEHAVIOUR(cc_GetDNIS, int32_t, (CRN crn, char* dnis))
BOARDSIM_BEHAVIOUR(cc_GetANI, int32_t, (CRN crn, char* ani))
BOARDSIM_BEHAVIOUR(cc_CallState, int32_t, (CRN crn, int32_t* state))
BOARDSIM_BEHAVIOUR(cc_CRN2LineDev, int32_t, (CRN crn, LINEDEV* linedev))
BOARDSIM_BEHAVIOUR(cc_GetInfoElem, int32_t, (LINEDEV linedev, IE_BLK* ie))
BOARDSIM_BEHAVIOUR(cc_SetInfoElem, int32_t, (LINEDEV linedev, IE_BLK* ie))

BOARDSIM_BEHAVIOUR(gc_Start, int32_t, (GC_START_STRUCT * start))
BOARDSIM_BEHAVIOUR(gc_Stop, int32_t, ())
BOARDSIM_BEHAVIOUR(gc_CCLibStatusEx, int32_t, (const char* cclib_name, void* status))
BOARDSIM_BEHAVIOUR(gc_ErrorValue, int32_t,
                   (int32_t * gc_error, int32_t* cclib_id, int32_t* cclib_error))
BOARDSIM_BEHAVIOUR(gc_ErrorInfo, int32_t, (GC_INFO * info))
BOARDSIM_BEHAVIOUR(gc_ResultMsg, int32_t, (uint32_t cclib_id, int32_t result_code, char** msg))
BOARDSIM_BEHAVIOUR(gc_ResultInfo, int32_t, (METAEVENT * metaevent, GC_INFO* info))

BOARDSIM_BEHAVIOUR(gc_WaitCall, int32_t,
                   (LINEDEV linedev, CRN* crn, GC_WAITCALL_BLK* waitcall, int32_t timeout,
                    uint32_t mode))
BOARDSIM_BEHAVIOUR(gc_MakeCall, int32_t,
                   (LINEDEV linedev, CRN* crn, const char* number, GC_MAKECALL_BLK* makecall,
                    int32_t timeout, uint32_t mode))
BOARDSIM_BEHAVIOUR(gc_AcceptCall, int32_t, (CRN crn, int32_t rings, uint32_t mode))
BOARDSIM_BEHAVIOUR(gc_AnswerCall, int32_t, (CRN crn, int32_t rings, uint32_t mode))
BOARDSIM_BEHAVIOUR(gc_DropCall, int32_t, (CRN crn, int32_t cause, uint32_t mode))
BOARDSIM_BEHAVIOUR(gc_ReleaseCall, int32_t, (CRN crn))
BOARDSIM_BEHAVIOUR(gc_ReleaseCallEx, int32_t, (CRN crn, uint32_t mode))
BOARDSIM_BEHAVIOUR(gc_HoldCall, int32_t, (CRN crn, uint32_t mode))
BOARDSIM_BEHAVIOUR(gc_RetrieveCall, int32_t, (CRN crn, uint32_t mode))
BOARDSIM_BEHAVIOUR(gc_ResetLineDev, int32_t, (LINEDEV linedev, uint32_t mode))
BOARDSIM_BEHAVIOUR(gc_SetChanState, int32_t, (LINEDEV linedev, int32_t state, uint32_t mode))
BOARDSIM_BEHAVIOUR(gc_GetLinedevState, int32_t, (LINEDEV linedev, int32_t type, int32_t* state))
BOARDSIM_BEHAVIOUR(gc_GetCRN, int32_t, (CRN * crn, METAEVENT* metaevent))
BOARDSIM_BEHAVIOUR(gc_ResultValue, int32_t,
                   (METAEVENT * metaevent, int32_t* gc_result, int32_t* cclib_id,
                    int32_t* cclib_result))
BOARDSIM_BEHAVIOUR(gc_GetSigInfo, int32_t,
                   (LINEDEV linedev, char* value, int32_t info_id, METAEVENT* metaevent))
BOARDSIM_BEHAVIOUR(gc_GetCallInfo, int32_t, (CRN crn, int32_t info_id, char* value))
BOARDSIM_BEHAVIOUR(gc_GetDNIS, int32_t, (CRN crn, char* dnis))
BOARDSIM_BEHAVIOUR(gc_GetANI, int32_t, (CRN crn, char* ani))
BOARDSIM_BEHAVIOUR(gc_GetCallState, int32_t, (CRN crn, int32_t* state))
BOARDSIM_BEHAVIOUR(gc_CRN2LineDev, int32_t, (CRN crn, LINEDEV* linedev))
BOARDSIM_BEHAVIOUR(gc_GetInfoElem, int32_t, (LINEDEV linedev, GC_IE_BLK* ie))
BOARDSIM_BEHAVIOUR(gc_SetInfoElem, int32_t, (LINEDEV linedev, GC_IE_BLK* ie))
BOARDSIM_BEHAVIOUR(gc_SetCallingNum, int32_t, (LINEDEV linedev, const char* number))

BOARDSIM_BEHAVIOUR(gc_util_insert_parm_ref, int32_t,
                   (GC_PARM_BLKP * block, uint16_t set_id, uint16_t parm_id, uint8_t size,
                    void* data))
BOARDSIM_BEHAVIOUR(gc_util_insert_parm_val, int32_t,
                   (GC_PARM_BLKP * block, uint16_t set_id, uint16_t parm_id, uint8_t size,
                    uint32_t value))
BOARDSIM_BEHAVIOUR(gc_util_delete_parm_blk, void, (GC_PARM_BLKP block))
BOARDSIM_BEHAVIOUR(gc_util_next_parm, GC_PARM_DATAP, (GC_PARM_BLKP block, GC_PARM_DATAP current))
BOARDSIM_BEHAVIOUR(gc_util_next_parm_ex, int32_t, (GC_PARM_BLKP block, GC_PARM_DATA_EXTP cursor))

}  // namespace ruzd::boardsim
