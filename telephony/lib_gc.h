#pragma once

// Global Call ("libgc.dll"): the gc_ functions and the parameter-block helpers.

#include "telephony/pdll.h"
#include "telephony/vendorapi/function_lists.h"

namespace ruzd::telephony {

class CLibGc : public PDLL {
public:
    // Loads the library (its default name when none is given) and binds every export.
    explicit CLibGc(const char* file_name = nullptr);

// clang-format off
#include "telephony/vendor_table_members.h"
#include "telephony/vendorapi/libgc_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on
};

}  // namespace ruzd::telephony
