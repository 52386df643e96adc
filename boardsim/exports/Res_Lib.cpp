// The simulated "Res_Lib.dll": every export of its function list.

namespace {
constexpr char kLibrary[] = "Res_Lib";
}  // namespace

#include "boardsim/exports/export_macros.h"
#include "telephony/vendorapi/res_lib_functions.inc"
