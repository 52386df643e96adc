#pragma once

// Everything the node knows of the telephony vendors' libraries: records, constants and, in
// the *_functions.inc lists beside this header, every function it binds.

#include "telephony/vendorapi/aculab.h"
#include "telephony/vendorapi/amtelco.h"
#include "telephony/vendorapi/bus.h"
#include "telephony/vendorapi/csp.h"
#include "telephony/vendorapi/globalcall.h"
#include "telephony/vendorapi/ipm.h"
#include "telephony/vendorapi/isdn.h"
#include "telephony/vendorapi/ncm.h"
#include "telephony/vendorapi/prosody.h"
#include "telephony/vendorapi/srl.h"
#include "telephony/vendorapi/station.h"
#include "telephony/vendorapi/voice.h"
