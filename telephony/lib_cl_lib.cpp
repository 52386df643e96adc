#include "telephony/lib_cl_lib.h"

namespace ruzd::telephony {

CLibCL_Lib::CLibCL_Lib(const char* file_name) {
    LoadFrom(file_name);
    if (!IsLoaded())
        return;
// clang-format off
#include "telephony/vendor_table_binding.h"
#include "telephony/vendorapi/cl_lib_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on
}

}  // namespace ruzd::telephony
