#include "telephony/lib_dxxmt.h"

namespace ruzd::telephony {

CLibDXXMT::CLibDXXMT(const char* file_name) {
    LoadFrom(file_name != nullptr ? file_name : "libdxxmt.dll");
    if (!IsLoaded())
        return;
// clang-format off
#include "telephony/vendor_table_binding.h"
#include "telephony/vendorapi/libdxxmt_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on
}

}  // namespace ruzd::telephony
