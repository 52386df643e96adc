#include "telephony/lib_ipm.h"

namespace ruzd::telephony {

CLibIPM::CLibIPM(const char* file_name) {
    LoadFrom(file_name != nullptr ? file_name : "libipm.dll");
    if (!IsLoaded())
        return;
// clang-format off
#include "telephony/vendor_table_binding.h"
#include "telephony/vendorapi/libipm_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on
}

}  // namespace ruzd::telephony
