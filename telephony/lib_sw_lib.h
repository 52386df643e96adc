#pragma once

// The Aculab TDM switch ("SW_Lib.dll", named by the facade).

#include "telephony/pdll.h"
#include "telephony/vendorapi/function_lists.h"

namespace ruzd::telephony {

class CLibSW_Lib : public PDLL {
public:
    // Loads the library by the name the facade gives and binds every export.
    explicit CLibSW_Lib(const char* file_name);

// clang-format off
#include "telephony/vendor_table_members.h"
#include "telephony/vendorapi/sw_lib_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on
};

}  // namespace ruzd::telephony
