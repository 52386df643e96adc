#include "telephony/hardware.h"
#include "telephony/vendorapi/vendor_api.h"
