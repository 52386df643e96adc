#include "telephony/lib_ecmt.h"

namespace ruzd::telephony {

CLibECMT::CLibECMT(const char* file_name) {
    LoadFrom(file_name != nullptr ? file_name : "libecmt.dll");
    if (!IsLoaded())
        return;
// clang-format off
#include "telephony/vendor_table_binding.h"
#include "telephony/vendorapi/libecmt_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on
}

}  // namespace ruzd::telephony
