#pragma once

// CHardware: the one object through which the node reaches every telephony vendor library. It
// loads the vendors' libraries in a fixed order when it is made, knows from what loaded which
// vendor paths are available, and has one operation per vendor call, named after the vendor
// function. CHardwareISDN implements the operations by forwarding to the function tables.
//
// Results of every operation: what the vendor function returns; 0 (a null pointer, nothing)
// when its library or the function is missing; -1 where the operation's family refuses to run
// (its table is absent, Global Call is not started, the line device is restarting).

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "telephony/facade_forms.h"
#include "telephony/lib_cl_lib.h"
#include "telephony/lib_dtimt.h"
#include "telephony/lib_dxxmt.h"
#include "telephony/lib_ecmt.h"
#include "telephony/lib_gc.h"
#include "telephony/lib_ipm.h"
#include "telephony/lib_iptel_lib.h"
#include "telephony/lib_ncmapi.h"
#include "telephony/lib_res_lib.h"
#include "telephony/lib_srlmt.h"
#include "telephony/lib_sw_lib.h"
#include "telephony/lib_ting.h"
#include "telephony/lib_xds.h"

namespace ruzd::telephony {

class CHardware {
public:
    // Whether the Aculab libraries are looked at. The node never switches the path on: Aculab
    // stays unavailable and its libraries are never loaded. Only tests switch it on: those of
    // the loading chain, and those that build the node manager in their own process.
    enum class AculabPath { kSwitchedOff, kSwitchedOnForTests };

    // Loads the libraries (see hardware.cpp for the order and what each failure switches off).
    // Never throws; the object is usable whatever loaded, and the flags tell what did. When no
    // vendor path remains, fatal error 30 is reported before the constructor returns.
    CHardware(uint32_t creator_thread_id, bool global_call_only,
              AculabPath aculab = AculabPath::kSwitchedOff);
    virtual ~CHardware();
    CHardware(const CHardware&) = delete;
    CHardware& operator=(const CHardware&) = delete;

    bool IsGlobalCallInitialised() const { return global_call_initialised_.load(); }
    bool IsGlobalCallOnlyMode() const { return global_call_only_; }
    bool IsIntelAvailable() const { return intel_available_; }
    bool IsAculabAvailable() const { return aculab_available_; }
    // True when "XDSlibsc.dll" loaded with all its exports.
    bool IsAmtelcoAvailable() const { return amtelco_ != nullptr; }
    uint32_t GetCreatorThreadId() const { return creator_thread_id_; }

    // Switches the Aculab media library's own trace; nothing without that library.
    void SetAculabTrace(bool on);

    // The facade's lock, for callers that must not interleave their use of it.
    std::recursive_mutex& Lock() { return lock_; }

    // --- One operation per vendor call ---
#define FACADE_SLOT = 0
#include "telephony/facade_declarations.inc"
#define FACADE_HAND(ret, name, params) virtual ret name params = 0;
#include "telephony/facade_hand_written.inc"
#undef FACADE_HAND
#define FACADE_TING(ret, name, member, params, args) virtual ret name params = 0;
#include "telephony/facade_ting_operations.inc"
#undef FACADE_TING
#undef FACADE_SLOT

    // --- Call control whichever way it runs: through Global Call while it is started, else
    // through the native ISDN functions. Results are passed back unchanged. ---
    int32_t HoldCall(CRN crn, uint32_t mode);
    int32_t HoldAck(CRN crn);
    int32_t HoldRej(CRN crn, int32_t cause);
    int32_t RetrieveCall(CRN crn, uint32_t mode);
    int32_t RetrieveAck(CRN crn);
    int32_t RetrieveRej(CRN crn, int32_t cause);
    int32_t AnswerCall(int32_t ldev, CRN crn, int32_t rings, uint32_t mode);
    // `event` is the current event's meta event under Global Call, its event data otherwise.
    int32_t GetCRN(int32_t ldev, CRN* crn, void* event);
    // Global Call blocks no time slots: 0 without a call.
    int32_t BlockTs(int32_t ldev, LINEDEV linedev);
    int32_t UnBlockTs(int32_t ldev, LINEDEV linedev);
    int32_t GetCallInfo(int32_t ldev, CRN crn, int32_t info_id, char* buffer);
    int32_t GetSigInfo(int32_t ldev, LINEDEV linedev, char* buffer, int32_t info_id, void* event);
    int32_t GetDNIS(int32_t ldev, CRN crn, char* dnis);
    int32_t GetANI(int32_t ldev, CRN crn, char* ani);
    int32_t GetBChanState(int32_t ldev, LINEDEV linedev, int32_t* state);
    int32_t GetDChanState(int32_t ldev, LINEDEV linedev, int32_t* state);
    int32_t CallProgress(int32_t ldev, CRN crn, int32_t indicator, int32_t extra);
    int32_t GetCallState(int32_t ldev, CRN crn, int32_t* state);
    int32_t CRN2LineDev(int32_t ldev, CRN crn, LINEDEV* linedev);
    // The call-control library's result of the event; under Global Call a failing query is
    // logged and its code returned.
    int32_t ResultValue(int32_t ldev, void* event);
    int32_t GetInfoElem(int32_t ldev, LINEDEV linedev, IE_BLK* elements);
    int32_t SetDChanCfg(LINEDEV linedev, DCHAN_CFG* config);
    int32_t SndMsg(int32_t ldev, CRN crn, int32_t message_type, IE_BLK* elements);
    int32_t StartTrace(LINEDEV linedev, const char* file);
    int32_t StopTrace(LINEDEV linedev);

protected:
    // Global Call is started (by its start-up) or stopped (by gc_Stop).
    void SetGlobalCallInitialised(bool initialised) {
        global_call_initialised_.store(initialised);
    }

    // The tables; null when never created or dropped after a failure. A table kept after its
    // library failed to load answers every call with 0.
    std::unique_ptr<CLibDXXMT> voice_;
    std::unique_ptr<CLibSRLMT> event_;
    std::unique_ptr<CLibGc> global_call_;
    std::unique_ptr<CLibIPM> ip_media_;
    std::unique_ptr<CLibDTIMT> network_;
    std::unique_ptr<CLibECMT> speech_;
    std::unique_ptr<CLibNCMAPI> configuration_;
    std::unique_ptr<CLibXDS> amtelco_;
    std::unique_ptr<CLibCL_Lib> aculab_call_;
    std::unique_ptr<CLibSW_Lib> aculab_switch_;
    std::unique_ptr<CLibRes_Lib> aculab_resource_;
    std::unique_ptr<CLibIpTel_Lib> aculab_ip_telephony_;
    std::unique_ptr<CLibTiNG> aculab_media_;

private:
    void LoadGlobalCallOnly();
    void LoadDialogicAndAmtelco();
    void LoadAculab();

    std::atomic<bool> global_call_initialised_{false};
    const bool global_call_only_;
    std::recursive_mutex lock_;
    uint32_t creator_thread_id_ = 0;
    bool intel_available_ = true;
    bool aculab_available_ = false;
};

// The process-wide facade: published by the node manager that owns it, for the hardware-layer
// code that has no manager at hand. Null while none is published.
CHardware* PublishedHardware();
void PublishHardware(CHardware* hardware);

}  // namespace ruzd::telephony
