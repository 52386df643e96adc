// The facade operations of the network library: ISDN call control (cc_), network interfaces
// (dt_), stations (ms_, ATMS_TSSGBIT) and conference boards (dcb_).

#include "telephony/dcb_resources.h"
#include "telephony/hardware_isdn.h"
#include "telephony/opened_station_boards.h"
#include "telephony/restart_marks.h"
#include "telephony/vendor_call.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {

#define FACADE_TABLE network_.get()
#define FACADE_TABLE_CLASS CLibDTIMT
#define FACADE_DEFAULT_FORM plain
#define FACADE_LIST "telephony/vendorapi/libdtimt_functions.inc"
#include "telephony/facade_definitions.inc"

namespace {

// A station board with more free conference resources than this takes a new conference.
constexpr int32_t kFewestFreeResources = 3;

// The conference ids a station board may hold: two ranges, each end exclusive.
constexpr uint32_t kFirstConferenceRange[] = {0x150001, 0x15000F, 1};
constexpr uint32_t kSecondConferenceRange[] = {0x1140100, 0xF140100, 0x1000000};

}  // namespace

int32_t CHardwareISDN::cc_SetChanState(int32_t /*ldev*/, LINEDEV linedev, int32_t state,
                                       int32_t mode, int32_t /*unused1*/, int32_t /*unused2*/) {
    return VendorCall(network_.get(), &CLibDTIMT::cc_SetChanState, linedev, state, mode);
}

int32_t CHardwareISDN::cc_Open(int32_t /*ldev*/, LINEDEV* linedev, const char* name,
                               uint16_t reserved) {
    return VendorCall(network_.get(), &CLibDTIMT::cc_Open, linedev, name, int32_t{reserved});
}

int32_t CHardwareISDN::cc_GetCRN(int32_t ldev, CRN* crn, void* evtdata) {
    if (RefusedWhileRestarting(ldev, "cc_GetCRN")) {
        if (crn != nullptr)
            *crn = 0;
        return -1;
    }
    return VendorCall(network_.get(), &CLibDTIMT::cc_GetCRN, crn, evtdata);
}

// The mark goes up before the vendor is asked and stays whatever it answers: only the
// device's restart-complete event takes it down again.
int32_t CHardwareISDN::cc_Restart(int32_t ldev, LINEDEV linedev, uint32_t mode) {
    SetRestartMark(ldev);
    return VendorCall(network_.get(), &CLibDTIMT::cc_Restart, linedev, mode);
}

int32_t CHardwareISDN::cc_CallProgress(int32_t ldev, CRN crn, int32_t indicator,
                                       int32_t /*unused*/) {
    if (RefusedWhileRestarting(ldev, "cc_CallProgress"))
        return -1;
    return VendorCall(network_.get(), &CLibDTIMT::cc_CallProgress, crn, indicator);
}

int32_t CHardwareISDN::cc_CallAck(int32_t ldev, CRN crn, int32_t mode) {
    if (RefusedWhileRestarting(ldev, "cc_CallAck"))
        return -1;
    return VendorCall(network_.get(), &CLibDTIMT::cc_CallAck, crn, nullptr, mode);
}

int32_t CHardwareISDN::dt_open(int32_t /*ldev*/, const char* name, int32_t /*oflags*/) {
    if (network_ == nullptr || !network_->IsLoaded())
        return -1;
    return VendorCall(network_.get(), &CLibDTIMT::dt_open, name, 0);
}

int32_t CHardwareISDN::ms_open(int32_t /*ldev*/, const char* name, int32_t flags) {
    if (network_ == nullptr)
        return -1;
    return VendorCall(network_.get(), &CLibDTIMT::ms_open, name, flags);
}

// Without a board chosen (-1), the first opened station board with enough free conference
// resources takes the conference, else the last one looked at.
int32_t CHardwareISDN::ms_estconf(int32_t* board, MS_CDT* parties, int32_t count,
                                  int32_t attributes, int32_t* conf_id) {
    if (board != nullptr && *board == -1) {
        for (int32_t handle : StationBoards().Handles()) {
            *board = handle;
            int32_t free_resources = -1;
            if (ms_dsprescount(handle, &free_resources) == 0 &&
                free_resources > kFewestFreeResources)
                break;
        }
    }
    return VendorCall(network_.get(), &CLibDTIMT::ms_estconf, board != nullptr ? *board : -1,
                      parties, count, attributes, conf_id);
}

// Clears whatever conferences an earlier run left on the board; deletions that fail are
// expected (most ids hold no conference) and ignored.
int32_t CHardwareISDN::ms_DeleteAllConferences(int32_t board, int32_t /*unused1*/,
                                               int32_t /*unused2*/) {
    for (const auto* range : {kFirstConferenceRange, kSecondConferenceRange}) {
        for (uint32_t id = range[0]; id < range[1]; id += range[2]) {
            if (ms_delconf(board, static_cast<int32_t>(id)) == 0)
                VendorTrace(3, 0, "Dev %d removed conf %u", board, id);
        }
    }
    return 0;
}

// Without a device chosen (-1), the first conference DSP with enough free resources takes the
// conference; the caller learns which.
int32_t CHardwareISDN::dcb_estconf(int32_t* dcb, MS_CDT* parties, int32_t count, int32_t attributes,
                                   int32_t* conf_id) {
    if (dcb != nullptr && *dcb == -1)
        *dcb = GetFreeConferenceDCBDevice();
    return VendorCall(network_.get(), &CLibDTIMT::dcb_estconf, dcb != nullptr ? *dcb : -1, parties,
                      count, attributes, conf_id);
}

}  // namespace ruzd::telephony
