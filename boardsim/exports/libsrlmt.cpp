// The simulated "libsrlmt.dll": every export of its function list.

namespace {
constexpr char kLibrary[] = "libsrlmt";
}  // namespace

#include "boardsim/exports/export_macros.h"
#include "telephony/vendorapi/libsrlmt_functions.inc"
