#pragma once

// The configuration manager ("NCMAPI.dll"): the NCM_ functions.

#include "telephony/pdll.h"
#include "telephony/vendorapi/function_lists.h"

namespace ruzd::telephony {

class CLibNCMAPI : public PDLL {
public:
    // Loads the library (its default name when none is given) and binds every export.
    explicit CLibNCMAPI(const char* file_name = nullptr);

    // Whether the minimal set of exports (all but the default address query) was bound: the
    // facade decides by this, not by AllFunctionsLoaded, whether the manager can be used.
    bool IsComplete() const { return complete_; }

// clang-format off
#include "telephony/vendor_table_members.h"
#include "telephony/vendorapi/ncmapi_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on

private:
    void MinimalSetBound() {
        complete_ = !HasMissingExport();
    }

    bool complete_ = false;
};

}  // namespace ruzd::telephony
