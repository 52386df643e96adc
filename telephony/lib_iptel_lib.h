#pragma once

// Aculab IP telephony ("IpTel_Lib.dll", named by the facade).

#include "telephony/pdll.h"
#include "telephony/vendorapi/function_lists.h"

namespace ruzd::telephony {

class CLibIpTel_Lib : public PDLL {
public:
    // Loads the library by the name the facade gives and binds every export.
    explicit CLibIpTel_Lib(const char* file_name);

// clang-format off
#include "telephony/vendor_table_members.h"
#include "telephony/vendorapi/iptel_lib_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on
};

}  // namespace ruzd::telephony
