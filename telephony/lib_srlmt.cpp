#include "telephony/lib_srlmt.h"

namespace ruzd::telephony {

CLibSRLMT::CLibSRLMT(const char* file_name) {
    LoadFrom(file_name != nullptr ? file_name : "libsrlmt.dll");
    if (!IsLoaded())
        return;
// clang-format off
#include "telephony/vendor_table_binding.h"
#include "telephony/vendorapi/libsrlmt_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on
}

}  // namespace ruzd::telephony
