// The simulated "libipm.dll": every export of its function list.

namespace {
constexpr char kLibrary[] = "libipm";
}  // namespace

#include "boardsim/exports/export_macros.h"
#include "telephony/vendorapi/libipm_functions.inc"
