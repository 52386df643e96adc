#pragma once

// Aculab resources ("Res_Lib.dll", named by the facade): cards, Prosody and event queues.

#include "telephony/pdll.h"
#include "telephony/vendorapi/function_lists.h"

namespace ruzd::telephony {

class CLibRes_Lib : public PDLL {
public:
    // Loads the library by the name the facade gives and binds every export.
    explicit CLibRes_Lib(const char* file_name);

// clang-format off
#include "telephony/vendor_table_members.h"
#include "telephony/vendorapi/res_lib_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on
};

}  // namespace ruzd::telephony
