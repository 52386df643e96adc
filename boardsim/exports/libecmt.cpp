// The simulated "libecmt.dll": every export of its function list.

namespace {
constexpr char kLibrary[] = "libecmt";
}  // namespace

#include "boardsim/exports/export_macros.h"
#include "telephony/vendorapi/libecmt_functions.inc"
