// Wrong: telephony and the net layer stand side by side.
#include "net/station_name.h"
#include "telephony/hardware.h"
