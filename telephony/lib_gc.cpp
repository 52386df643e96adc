#include "telephony/lib_gc.h"

namespace ruzd::telephony {

CLibGc::CLibGc(const char* file_name) {
    LoadFrom(file_name != nullptr ? file_name : "libgc.dll");
    if (!IsLoaded())
        return;
// clang-format off
#include "telephony/vendor_table_binding.h"
#include "telephony/vendorapi/libgc_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on
}

}  // namespace ruzd::telephony
