#include "telephony/lib_res_lib.h"

namespace ruzd::telephony {

CLibRes_Lib::CLibRes_Lib(const char* file_name) {
    LoadFrom(file_name);
    if (!IsLoaded())
        return;
#include "telephony/vendor_table_binding.h"
#include "telephony/vendorapi/res_lib_functions.inc"
#include "telephony/vendor_table_end.h"
}

}  // namespace ruzd::telephony
