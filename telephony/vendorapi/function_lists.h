#pragma once

// The vendor function lists.
//
// Each library the node binds has one list, <library>_functions.inc, naming every function the
// node binds from it in binding order, with its signature. The list is the one source of both
// the node's function tables (telephony/lib_*.h) and the simulated libraries' exports
// (boardsim/exports), so the two cannot drift apart. A user defines the macros below, includes
// this header for the types and then the list:
//
//   VENDOR_FUNCTION(ret, name, (params), (args))
//       an ordinary export; a missing one is logged and marks the table incomplete.
//   VENDOR_FUNCTION_SILENT(ret, name, (params), (args))
//       as above, but its absence is not logged.
//   VENDOR_TWIN(ret, name, copy, (params), (args))
//       one export bound twice, into members name_0 and name_1; the library exports it once,
//       as copy 1. Both copies have the export's signature: a call through a pointer of
//       another type is undefined (clang's function sanitizer stops it), so the form without
//       an event handle passes the handle of the current event.
//   VENDOR_PAIR(ret, newer, older, (params), (args))
//       one function the library exports under a newer or an older name.
//   VENDOR_MINIMAL_SET_END()
//       the exports before this mark are those without which the library is unusable.

#include "telephony/vendorapi/vendor_api.h"
