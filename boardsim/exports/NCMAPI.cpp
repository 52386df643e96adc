// The simulated "NCMAPI.dll": every export of its function list.

namespace {
constexpr char kLibrary[] = "NCMAPI";
}  // namespace

#include "boardsim/exports/export_macros.h"
#include "telephony/vendorapi/ncmapi_functions.inc"
