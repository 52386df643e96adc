#pragma once

// The voice library ("libdxxmt.dll"): the dx_, ag_ and ATDX_ functions.

#include "telephony/pdll.h"
#include "telephony/vendorapi/function_lists.h"

namespace ruzd::telephony {

class CLibDXXMT : public PDLL {
public:
    // Loads the library (its default name when none is given) and binds every export.
    explicit CLibDXXMT(const char* file_name = nullptr);

// clang-format off
#include "telephony/vendor_table_members.h"
#include "telephony/vendorapi/libdxxmt_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on
};

}  // namespace ruzd::telephony
