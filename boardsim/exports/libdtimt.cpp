// The simulated "libdtimt.dll": every export of its function list.

namespace {
constexpr char kLibrary[] = "libdtimt";
}  // namespace

#include "boardsim/exports/export_macros.h"
#include "telephony/vendorapi/libdtimt_functions.inc"
