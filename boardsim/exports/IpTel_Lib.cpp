// The simulated "IpTel_Lib.dll": every export of its function list.

namespace {
constexpr char kLibrary[] = "IpTel_Lib";
}  // namespace

#include "boardsim/exports/export_macros.h"
#include "telephony/vendorapi/iptel_lib_functions.inc"
