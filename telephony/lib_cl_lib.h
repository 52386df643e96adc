#pragma once

// Aculab call control ("CL_Lib.dll", named by the facade): acu_, call_, xcall_, sip_ and
// error_2_string.

#include "telephony/pdll.h"
#include "telephony/vendorapi/function_lists.h"

namespace ruzd::telephony {

class CLibCL_Lib : public PDLL {
public:
    // Loads the library by the name the facade gives and binds every export.
    explicit CLibCL_Lib(const char* file_name);

// clang-format off
#include "telephony/vendor_table_members.h"
#include "telephony/vendorapi/cl_lib_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on
};

}  // namespace ruzd::telephony
