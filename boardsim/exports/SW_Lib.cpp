// The simulated "SW_Lib.dll": every export of its function list.

namespace {
constexpr char kLibrary[] = "SW_Lib";
}  // namespace

#include "boardsim/exports/export_macros.h"
#include "telephony/vendorapi/sw_lib_functions.inc"
