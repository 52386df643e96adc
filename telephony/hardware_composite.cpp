// Call control that works whether Global Call runs or not: each operation asks whether Global
// Call is started and takes its Global Call or its native ISDN operation.

#include "telephony/hardware.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {
namespace {

// The call information id of the number calling.
constexpr int32_t kOriginationAddress = 263;

}  // namespace

int32_t CHardware::HoldCall(CRN crn, uint32_t mode) {
    return IsGlobalCallInitialised() ? gc_HoldCall(crn, mode) : cc_HoldCall(crn, mode);
}

int32_t CHardware::HoldAck(CRN crn) {
    return IsGlobalCallInitialised() ? gc_HoldACK(crn) : cc_HoldAck(crn);
}

int32_t CHardware::HoldRej(CRN crn, int32_t cause) {
    return IsGlobalCallInitialised() ? gc_HoldRej(crn, cause) : cc_HoldRej(crn, cause);
}

int32_t CHardware::RetrieveCall(CRN crn, uint32_t mode) {
    return IsGlobalCallInitialised() ? gc_RetrieveCall(crn, mode) : cc_RetrieveCall(crn, mode);
}

int32_t CHardware::RetrieveAck(CRN crn) {
    return IsGlobalCallInitialised() ? gc_RetrieveAck(crn) : cc_RetrieveAck(crn);
}

int32_t CHardware::RetrieveRej(CRN crn, int32_t cause) {
    return IsGlobalCallInitialised() ? gc_RetrieveRej(crn, cause) : cc_RetrieveRej(crn, cause);
}

int32_t CHardware::AnswerCall(int32_t ldev, CRN crn, int32_t rings, uint32_t mode) {
    return IsGlobalCallInitialised() ? gc_AnswerCall(ldev, crn, rings, mode)
                                     : cc_AnswerCall(ldev, crn, rings, mode);
}

int32_t CHardware::GetCRN(int32_t ldev, CRN* crn, void* event) {
    return IsGlobalCallInitialised() ? gc_GetCRN(crn, static_cast<METAEVENT*>(event))
                                     : cc_GetCRN(ldev, crn, event);
}

int32_t CHardware::BlockTs(int32_t ldev, LINEDEV linedev) {
    return IsGlobalCallInitialised() ? 0 : cc_BlockTs(ldev, linedev);
}

int32_t CHardware::UnBlockTs(int32_t ldev, LINEDEV linedev) {
    return IsGlobalCallInitialised() ? 0 : cc_UnBlockTs(ldev, linedev);
}

int32_t CHardware::GetCallInfo(int32_t ldev, CRN crn, int32_t info_id, char* buffer) {
    return IsGlobalCallInitialised() ? gc_GetCallInfo(ldev, crn, info_id, buffer)
                                     : cc_GetCallInfo(ldev, crn, info_id, buffer);
}

int32_t CHardware::GetSigInfo(int32_t ldev, LINEDEV linedev, char* buffer, int32_t info_id,
                              void* event) {
    return IsGlobalCallInitialised()
               ? gc_GetSigInfo(ldev, linedev, buffer, info_id, static_cast<METAEVENT*>(event))
               : cc_GetSigInfo(ldev, buffer, info_id, event);
}

int32_t CHardware::GetDNIS(int32_t ldev, CRN crn, char* dnis) {
    return IsGlobalCallInitialised() ? gc_GetDNIS(crn, dnis) : cc_GetDNIS(ldev, crn, dnis);
}

int32_t CHardware::GetANI(int32_t ldev, CRN crn, char* ani) {
    return IsGlobalCallInitialised() ? gc_GetCallInfo(ldev, crn, kOriginationAddress, ani)
                                     : cc_GetANI(ldev, crn, ani);
}

int32_t CHardware::GetBChanState(int32_t ldev, LINEDEV linedev, int32_t* state) {
    return IsGlobalCallInitialised() ? gc_GetLinedevState(linedev, GCGLS_BCHANNEL, state)
                                     : cc_GetBChanState(ldev, linedev, state);
}

int32_t CHardware::GetDChanState(int32_t ldev, LINEDEV linedev, int32_t* state) {
    return IsGlobalCallInitialised() ? gc_GetLinedevState(linedev, GCGLS_DCHANNEL, state)
                                     : cc_GetDChanState(ldev, linedev, state);
}

int32_t CHardware::CallProgress(int32_t ldev, CRN crn, int32_t indicator, int32_t extra) {
    return IsGlobalCallInitialised() ? gc_CallProgress(ldev, crn, indicator)
                                     : cc_CallProgress(ldev, crn, indicator, extra);
}

int32_t CHardware::GetCallState(int32_t ldev, CRN crn, int32_t* state) {
    return IsGlobalCallInitialised() ? gc_GetCallState(crn, state) : cc_CallState(ldev, crn, state);
}

int32_t CHardware::CRN2LineDev(int32_t ldev, CRN crn, LINEDEV* linedev) {
    return IsGlobalCallInitialised() ? gc_CRN2LineDev(crn, linedev)
                                     : cc_CRN2LineDev(ldev, crn, linedev);
}

int32_t CHardware::ResultValue(int32_t ldev, void* event) {
    if (!IsGlobalCallInitialised())
        return cc_ResultValue(ldev, event);
    int32_t gc_result = 0;
    int32_t cclib_id = 0;
    int32_t cclib_result = 0;
    const int32_t code =
        gc_ResultValue(static_cast<METAEVENT*>(event), &gc_result, &cclib_id, &cclib_result);
    if (code == 0)
        return cclib_result;
    VendorTrace(1, ldev, "*** gc_ResultValue failed, code=%d", code);
    return code;
}

int32_t CHardware::GetInfoElem(int32_t ldev, LINEDEV linedev, IE_BLK* elements) {
    if (!IsGlobalCallInitialised())
        return cc_GetInfoElem(ldev, linedev, elements);
    GC_IE_BLK block{nullptr, elements};
    return gc_GetInfoElem(ldev, linedev, &block);
}

int32_t CHardware::SetDChanCfg(LINEDEV linedev, DCHAN_CFG* config) {
    return IsGlobalCallInitialised() ? gc_SetDChanCfg(linedev, config)
                                     : cc_SetDChanCfg(linedev, config);
}

int32_t CHardware::SndMsg(int32_t ldev, CRN crn, int32_t message_type, IE_BLK* elements) {
    if (!IsGlobalCallInitialised())
        return cc_SndMsg(ldev, crn, message_type, elements);
    // Global Call sends on the line device, which the call reference names.
    LINEDEV linedev = 0;
    const int32_t found = gc_CRN2LineDev(crn, &linedev);
    if (found != 0)
        return found;
    GC_IE_BLK block{nullptr, elements};
    return gc_SndMsg(ldev, linedev, crn, message_type, &block);
}

int32_t CHardware::StartTrace(LINEDEV linedev, const char* file) {
    return IsGlobalCallInitialised() ? gc_StartTrace(linedev, file) : cc_StartTrace(linedev, file);
}

int32_t CHardware::StopTrace(LINEDEV linedev) {
    return IsGlobalCallInitialised() ? gc_StopTrace(linedev) : cc_StopTrace(linedev);
}

}  // namespace ruzd::telephony
