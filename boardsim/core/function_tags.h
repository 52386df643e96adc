#pragma once

// One tag type per simulated vendor function, by which behaviours are attached to it.

#include "telephony/vendorapi/function_lists.h"

namespace ruzd::boardsim::tags {

#define VENDOR_FUNCTION(ret, name, params, args) struct name;
#define VENDOR_FUNCTION_SILENT(ret, name, params, args) struct name;
#define VENDOR_TWIN(ret, name, copy, params, args) struct name;
#define VENDOR_PAIR(ret, newer, older, params, args) \
    struct newer;                                    \
    struct older;
#define VENDOR_MINIMAL_SET_END()
#include "telephony/vendorapi/cl_lib_functions.inc"
#include "telephony/vendorapi/iptel_lib_functions.inc"
#include "telephony/vendorapi/libdtimt_functions.inc"
#include "telephony/vendorapi/libdxxmt_functions.inc"
#include "telephony/vendorapi/libecmt_functions.inc"
#include "telephony/vendorapi/libgc_functions.inc"
#include "telephony/vendorapi/libipm_functions.inc"
#include "telephony/vendorapi/libsrlmt_functions.inc"
#include "telephony/vendorapi/ncmapi_functions.inc"
#include "telephony/vendorapi/res_lib_functions.inc"
#include "telephony/vendorapi/sw_lib_functions.inc"
#include "telephony/vendorapi/ting_functions.inc"
#include "telephony/vendorapi/xdslibsc_functions.inc"
#undef VENDOR_FUNCTION
#undef VENDOR_FUNCTION_SILENT
#undef VENDOR_TWIN
#undef VENDOR_PAIR
#undef VENDOR_MINIMAL_SET_END

}  // namespace ruzd::boardsim::tags
