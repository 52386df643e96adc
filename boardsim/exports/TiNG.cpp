// The simulated "TiNG.dll": every export of its function list.

namespace {
constexpr char kLibrary[] = "TiNG";
}  // namespace

#include "boardsim/exports/export_macros.h"
#include "telephony/vendorapi/ting_functions.inc"

// The library's own trace: its level and the function it writes its lines through, both set by
// the application.
extern "C" {
__attribute__((visibility("default"))) int TiNGtrace = 0;
__attribute__((visibility("default"))) TiNG_SHOWTRACE TiNG_showtrace = nullptr;
}
