#pragma once

// IP media ("libipm.dll"): the quality alarm functions. Missing exports are not logged.

#include "telephony/pdll.h"
#include "telephony/vendorapi/function_lists.h"

namespace ruzd::telephony {

class CLibIPM : public PDLL {
public:
    // Loads the library (its default name when none is given) and binds every export.
    explicit CLibIPM(const char* file_name = nullptr);

// clang-format off
#include "telephony/vendor_table_members.h"
#include "telephony/vendorapi/libipm_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on
};

}  // namespace ruzd::telephony
