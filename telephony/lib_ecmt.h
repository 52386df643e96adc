#pragma once

// Continuous speech processing ("libecmt.dll"): the ec_ functions.

#include "telephony/pdll.h"
#include "telephony/vendorapi/function_lists.h"

namespace ruzd::telephony {

class CLibECMT : public PDLL {
public:
    // Loads the library (its default name when none is given) and binds every export.
    explicit CLibECMT(const char* file_name = nullptr);

// clang-format off
#include "telephony/vendor_table_members.h"
#include "telephony/vendorapi/libecmt_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on
};

}  // namespace ruzd::telephony
