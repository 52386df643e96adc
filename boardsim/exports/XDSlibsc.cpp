// The simulated "XDSlibsc.dll": every export of its function list.

namespace {
constexpr char kLibrary[] = "XDSlibsc";
}  // namespace

#include "boardsim/exports/export_macros.h"
#include "telephony/vendorapi/xdslibsc_functions.inc"
