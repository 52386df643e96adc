// The simulated "libgc.dll": every export of its function list.

namespace {
constexpr char kLibrary[] = "libgc";
}  // namespace

#include "boardsim/exports/export_macros.h"
#include "telephony/vendorapi/libgc_functions.inc"
