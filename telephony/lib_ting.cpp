#include "telephony/lib_ting.h"

#include <cstdarg>

#include "platform/text.h"
#include "telephony/message_format.h"

namespace ruzd::telephony {
namespace {

// The device number under which the library's trace lines are logged.
constexpr int32_t kTiNGTraceDevice = 666;

template <typename Function, typename Parms>
int32_t CallNewerOrOlder(const PDLL& table, Function* newer, Function* older, Parms* parms) {
    Function* chosen = newer != nullptr ? newer : older;
    if (!table.IsLoaded() || chosen == nullptr)
        return 0;
    return chosen(parms);
}

}  // namespace

CLibTiNG::CLibTiNG(const char* file_name) {
    LoadFrom(file_name);
    if (!IsLoaded())
        return;
// clang-format off
#include "telephony/vendor_table_binding.h"
#include "telephony/vendorapi/ting_functions.inc"
#include "telephony/vendor_table_end.h"
    // clang-format on
}

int32_t CLibTiNG::CallGetCardInfo(SM_CARD_INFO_PARMS* parms) const {
    return CallNewerOrOlder(*this, sm_get_card_info_iPsCAte1_8_iiUiUiUicr16_,
                            sm_get_card_info_iPsCAte1_7_iiUiUiUicr16_, parms);
}

int32_t CLibTiNG::CallConditionAdjust(SM_CONDITION_ADJUST_PARMS* parms) const {
    return CallNewerOrOlder(*this, sm_condition_adjust_iPsCte1_4_i_,
                            sm_condition_adjust_iPsCte1_3_i_, parms);
}

void CLibTiNG::SetTrace(bool on) {
    auto* level = static_cast<int*>(FindExport("TiNGtrace"));
    auto* show_trace = static_cast<TiNG_SHOWTRACE*>(FindExport("TiNG_showtrace"));
    if (level == nullptr || show_trace == nullptr)
        return;
    *level = on ? TING_TRACE_ON : TING_TRACE_OFF;
    *show_trace = &TiNGShowTrace;
}

int TiNGShowTrace(const char* format, ...) {
    if (VendorTraceLevel() < 4 || format == nullptr)
        return 0;
    va_list args;
    va_start(args, format);
    const std::string text = FormatMessageText(format, args);
    va_end(args);
    VendorTrace(0, kTiNGTraceDevice, "%s", platform::Cp1252ToUtf8(text).c_str());
    return 0;
}

}  // namespace ruzd::telephony
