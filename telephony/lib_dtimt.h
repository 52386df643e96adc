#pragma once

// The network library ("libdtimt.dll"): ISDN call control cc_, network interfaces dt_,
// stations ms_ and ATMS_TSSGBIT, conference boards dcb_.

#include "telephony/pdll.h"
#include "telephony/vendorapi/function_lists.h"

namespace ruzd::telephony {

class CLibDTIMT : public PDLL {
public:
    // Loads the library (its default name when none is given) and binds every export.
    explicit CLibDTIMT(const char* file_name = nullptr);

// clang-format off
#include "telephony/vendor_table_members.h"
#include "telephony/vendorapi/libdtimt_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on
};

}  // namespace ruzd::telephony
