// The facade operations of Global Call (gc_) and of the IP media library's quality alarms
// (ipm_), which answer only while Global Call is started.

#include "platform/text.h"
#include "telephony/hardware_isdn.h"
#include "telephony/vendor_call.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {

#define FACADE_TABLE global_call_.get()
#define FACADE_TABLE_CLASS CLibGc
#define FACADE_DEFAULT_FORM gc_guarded
#define FACADE_LIST "telephony/vendorapi/libgc_functions.inc"
#include "telephony/facade_definitions.inc"

#define FACADE_TABLE ip_media_.get()
#define FACADE_TABLE_CLASS CLibIPM
#define FACADE_DEFAULT_FORM gc_guarded
#define FACADE_LIST "telephony/vendorapi/libipm_functions.inc"
#include "telephony/facade_definitions.inc"

namespace {

// Line devices are always opened asynchronously, whatever the caller asked for.
constexpr int32_t kAsyncMode = 0x8000;

// The alarm source whose notification is switched for all line devices at once.
constexpr uint32_t kAllDevicesAlarmSource = 1;

}  // namespace

int32_t CHardwareISDN::gc_OpenEx(int32_t ldev, LINEDEV* linedev, const std::string& name,
                                 int32_t /*mode*/, void* user_attribute) {
    if (RefusedWithoutGlobalCall(1, ldev))
        return -1;
    const std::string narrow = platform::Utf8ToCp1252(name);
    return VendorCall(global_call_.get(), &CLibGc::gc_OpenEx, linedev, narrow.c_str(), kAsyncMode,
                      user_attribute);
}

int32_t CHardwareISDN::gc_Stop() {
    if (RefusedWithoutGlobalCall(0, 0))
        return -1;
    const int32_t result = VendorCall(global_call_.get(), &CLibGc::gc_Stop);
    SetGlobalCallInitialised(false);
    VendorTrace(0, 0, "GLOBALCALL stopped");
    return result;
}

// Global Call has no D channel configuration of its own: the ISDN library's is used.
int32_t CHardwareISDN::gc_SetDChanCfg(LINEDEV linedev, DCHAN_CFG* config) {
    if (RefusedWithoutGlobalCall(0, 0))
        return -1;
    return VendorCall(network_.get(), &CLibDTIMT::cc_SetDChanCfg, linedev, config);
}

// Takes the caller's pointer, so that a deleted block is never used again.
void CHardwareISDN::gc_util_delete_parm_blk(GC_PARM_BLKP* block) {
    if (block == nullptr)
        return;
    VendorCall(global_call_.get(), &CLibGc::gc_util_delete_parm_blk, *block);
    *block = nullptr;
}

int32_t CHardwareISDN::gc_SetAlarmNotifyAll(LINEDEV linedev, uint32_t alarm_source, int32_t value) {
    if (RefusedWithoutGlobalCall(0, 0))
        return -1;
    const LINEDEV target = alarm_source == kAllDevicesAlarmSource ? 0 : linedev;
    return VendorCall(global_call_.get(), &CLibGc::gc_SetAlarmNotifyAll, target, alarm_source,
                      value);
}

}  // namespace ruzd::telephony
