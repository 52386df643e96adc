#include "telephony/lib_res_lib.h"

namespace ruzd::telephony {

CLibRes_Lib::CLibRes_Lib(const char* file_name) {
    LoadFrom(file_name);
    if (!IsLoaded())
        return;
// clang-format off
#include "telephony/vendor_table_binding.h"
#include "telephony/vendorapi/res_lib_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on
}

}  // namespace ruzd::telephony
