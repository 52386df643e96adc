#include "telephony/lib_xds.h"

namespace ruzd::telephony {

CLibXDS::CLibXDS(const char* file_name) {
    LoadFrom(file_name);
    if (!IsLoaded())
        return;
// clang-format off
#include "telephony/vendor_table_binding.h"
#include "telephony/vendorapi/xdslibsc_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on
}

}  // namespace ruzd::telephony
