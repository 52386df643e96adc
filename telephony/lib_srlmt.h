#pragma once

// The event library ("libsrlmt.dll"): events and device attributes. The three functions that
// read the current event are bound twice: members name_0 take no argument (the current event),
// members name_1 take the event handle.

#include "telephony/pdll.h"
#include "telephony/vendorapi/function_lists.h"

namespace ruzd::telephony {

class CLibSRLMT : public PDLL {
public:
    // Loads the library (its default name when none is given) and binds every export.
    explicit CLibSRLMT(const char* file_name = nullptr);

// clang-format off
#include "telephony/vendor_table_members.h"
#include "telephony/vendorapi/libsrlmt_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on
};

}  // namespace ruzd::telephony
