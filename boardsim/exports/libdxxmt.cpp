// The simulated "libdxxmt.dll": every export of its function list.

namespace {
constexpr char kLibrary[] = "libdxxmt";
}  // namespace

#include "boardsim/exports/export_macros.h"
#include "telephony/vendorapi/libdxxmt_functions.inc"
