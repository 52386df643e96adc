#pragma once

// Amtelco XDS boards ("XDSlibsc.dll", named by the facade): the xds_ functions.

#include "telephony/pdll.h"
#include "telephony/vendorapi/function_lists.h"

namespace ruzd::telephony {

class CLibXDS : public PDLL {
public:
    // Loads the library by the name the facade gives and binds every export.
    explicit CLibXDS(const char* file_name);

// clang-format off
#include "telephony/vendor_table_members.h"
#include "telephony/vendorapi/xdslibsc_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on
};

}  // namespace ruzd::telephony
