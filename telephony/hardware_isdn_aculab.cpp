// The facade operations of the Aculab libraries: call control (CL_Lib, timed), cards and
// Prosody (Res_Lib), the TDM switch (SW_Lib), IP telephony (IpTel_Lib) and the Prosody media
// library (TiNG). The node never switches the Aculab path on, so their tables are never made
// and every operation answers 0 there; they are complete for the day it is.

#include <type_traits>

#include "telephony/hardware_isdn.h"
#include "telephony/vendor_call.h"
#include "telephony/vendor_log.h"
#include "telephony/vmp_contexts.h"

namespace ruzd::telephony {

#define FACADE_LIST "telephony/vendorapi/cl_lib_functions.inc"
#define FACADE_TABLE aculab_call_.get()
#define FACADE_TABLE_CLASS CLibCL_Lib
#define FACADE_DEFAULT_FORM aculab_timed
#include "telephony/facade_definitions.inc"

#define FACADE_LIST "telephony/vendorapi/res_lib_functions.inc"
#define FACADE_TABLE aculab_resource_.get()
#define FACADE_TABLE_CLASS CLibRes_Lib
#define FACADE_DEFAULT_FORM plain
#include "telephony/facade_definitions.inc"

#define FACADE_LIST "telephony/vendorapi/sw_lib_functions.inc"
#define FACADE_TABLE aculab_switch_.get()
#define FACADE_TABLE_CLASS CLibSW_Lib
#define FACADE_DEFAULT_FORM plain
#include "telephony/facade_definitions.inc"

#define FACADE_LIST "telephony/vendorapi/iptel_lib_functions.inc"
#define FACADE_TABLE aculab_ip_telephony_.get()
#define FACADE_TABLE_CLASS CLibIpTel_Lib
#define FACADE_DEFAULT_FORM plain
#include "telephony/facade_definitions.inc"

// The media operations, checked against the table members they call so the two cannot part.
#define FACADE_TING(ret, name, member, params, args)                                       \
    static_assert(std::is_same_v<decltype(CLibTiNG::member), ret(*) params>, #name);       \
    ret CHardwareISDN::name params {                                                       \
        return VendorCall(aculab_media_.get(), &CLibTiNG::member FACADE_AFTER_COMMA args); \
    }
#include "telephony/facade_ting_operations.inc"
#undef FACADE_TING

namespace {

// A call-control call slower than this is logged.
constexpr uint32_t kSlowAculabCallMs = 500;

}  // namespace

void CHardwareISDN::LogSlowAculabCall(const char* name, uint64_t start_ms) {
    // The tick's low 32 bits, as the difference of two 32-bit tick counts.
    const uint32_t elapsed =
        static_cast<uint32_t>(platform::CurrentClock().TickMs()) - static_cast<uint32_t>(start_ms);
    if (elapsed > kSlowAculabCallMs) {
        VendorTrace(1, 0, "Aculab API call '%s' took %u msecs to compleet (> %u msecs)", name,
                    elapsed, kSlowAculabCallMs);
    }
}

int32_t CHardwareISDN::call_open_port(CALL_OPEN_PORT_PARMS* parms, int32_t /*unused1*/,
                                      int32_t /*unused2*/) {
    return TimedAculabCall("call_open_port", [&] {
        return VendorCall(aculab_call_.get(), &CLibCL_Lib::call_open_port, parms);
    });
}

int32_t CHardwareISDN::call_open_iptel_port(CALL_OPEN_IPTEL_PORT_PARMS* parms, int32_t /*unused*/) {
    return TimedAculabCall("call_open_iptel_port", [&] {
        return VendorCall(aculab_call_.get(), &CLibCL_Lib::call_open_iptel_port, parms);
    });
}

int32_t CHardwareISDN::acu_get_system_notification(ACU_SYSTEM_NOTIFICATION_PARMS* parms,
                                                   int32_t /*unused*/) {
    return VendorCall(aculab_resource_.get(), &CLibRes_Lib::acu_get_system_notification, parms);
}

int32_t CHardwareISDN::sm_get_card_info(SM_CARD_INFO_PARMS* parms) {
    return aculab_media_ == nullptr ? 0 : aculab_media_->CallGetCardInfo(parms);
}

int32_t CHardwareISDN::sm_condition_adjust(SM_CONDITION_ADJUST_PARMS* parms) {
    return aculab_media_ == nullptr ? 0 : aculab_media_->CallConditionAdjust(parms);
}

// The node manager calls the VMP operations itself; the facade offers them all the same.
int32_t CHardwareISDN::ReserveVMP(int32_t ldev) {
    return ReserveVMPContext(ldev);
}

int32_t CHardwareISDN::DestroyVMP(int32_t ldev) {
    return DestroyVMPContext(ldev);
}

}  // namespace ruzd::telephony
