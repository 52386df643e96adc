#include "telephony/lib_dtimt.h"

namespace ruzd::telephony {

CLibDTIMT::CLibDTIMT(const char* file_name) {
    LoadFrom(file_name != nullptr ? file_name : "libdtimt.dll");
    if (!IsLoaded())
        return;
// clang-format off
#include "telephony/vendor_table_binding.h"
#include "telephony/vendorapi/libdtimt_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on
}

}  // namespace ruzd::telephony
