// The simulated "CL_Lib.dll": every export of its function list.

namespace {
constexpr char kLibrary[] = "CL_Lib";
}  // namespace

#include "boardsim/exports/export_macros.h"
#include "telephony/vendorapi/cl_lib_functions.inc"
