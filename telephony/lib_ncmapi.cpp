#include "telephony/lib_ncmapi.h"

namespace ruzd::telephony {

CLibNCMAPI::CLibNCMAPI(const char* file_name) {
    LoadFrom(file_name != nullptr ? file_name : "NCMAPI.dll");
    if (!IsLoaded())
        return;
// clang-format off
#include "telephony/vendor_table_binding.h"
#include "telephony/vendorapi/ncmapi_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on
}

}  // namespace ruzd::telephony
