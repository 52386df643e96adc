// The facade operations of the Amtelco XDS boards (xds_): each answers -1 without a call
// while the Amtelco library is not in use.

#include "telephony/hardware_isdn.h"
#include "telephony/vendor_call.h"

namespace ruzd::telephony {

#define FACADE_TABLE amtelco_.get()
#define FACADE_TABLE_CLASS CLibXDS
#define FACADE_DEFAULT_FORM present_table
#define FACADE_LIST "telephony/vendorapi/xdslibsc_functions.inc"
#include "telephony/facade_definitions.inc"

}  // namespace ruzd::telephony
