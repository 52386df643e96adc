#include "telephony/lib_sw_lib.h"

namespace ruzd::telephony {

CLibSW_Lib::CLibSW_Lib(const char* file_name) {
    LoadFrom(file_name);
    if (!IsLoaded())
        return;
// clang-format off
#include "telephony/vendor_table_binding.h"
#include "telephony/vendorapi/sw_lib_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on
}

}  // namespace ruzd::telephony
