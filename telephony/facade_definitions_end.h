// Ends a use of facade_definitions_begin.h.

#include "telephony/vendor_table_end.h"
#undef FACADE_TABLE
#undef FACADE_TABLE_CLASS
#undef FACADE_DEFAULT_FORM
