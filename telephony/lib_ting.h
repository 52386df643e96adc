#pragma once

// The Aculab Prosody media library ("TiNG.dll", named by the facade): the sm_ and smd_
// functions under their exported names with the library's signature suffix. Two functions
// exist under a newer and an older name; the library's own trace can be routed into the
// node's log.

#include "telephony/pdll.h"
#include "telephony/vendorapi/function_lists.h"

namespace ruzd::telephony {

class CLibTiNG : public PDLL {
public:
    // Loads the library by the name the facade gives and binds every export.
    explicit CLibTiNG(const char* file_name);

    // sm_get_card_info and sm_condition_adjust: the newer export when it was bound, else the
    // older one; 0 when the library or the chosen export is missing.
    int32_t CallGetCardInfo(SM_CARD_INFO_PARMS* parms) const;
    int32_t CallConditionAdjust(SM_CONDITION_ADJUST_PARMS* parms) const;

    // Switches the library's trace on (level 3, written through the node's log) or off.
    // Nothing is written when the library lacks either of its two trace data exports.
    void SetTrace(bool on);

// clang-format off
#include "telephony/vendor_table_members.h"
#include "telephony/vendorapi/ting_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on
};

// The function the library writes its trace lines through: below trace level 4 it does
// nothing; otherwise it formats the library's text by the message-format rules and logs it
// as it stands (kind 0, device 666). Returns 0.
int TiNGShowTrace(const char* format, ...);

}  // namespace ruzd::telephony
