// Defines the facade operations of one vendor function list in CHardwareISDN. The includer
// names the table (FACADE_TABLE, FACADE_TABLE_CLASS) and the list's default form
// (FACADE_DEFAULT_FORM), includes this, the list and facade_definitions_end.h. No include
// guard. See telephony/facade_forms.h.

#define VENDOR_FUNCTION(ret, name, params, args) \
    FACADE_DEFINE(FACADE_DEFAULT_FORM, ret, name, params, args)
#define VENDOR_FUNCTION_SILENT(ret, name, params, args) VENDOR_FUNCTION(ret, name, params, args)
#define VENDOR_TWIN(ret, name, copy, params, args)
#define VENDOR_PAIR(ret, newer, older, params, args)
#define VENDOR_MINIMAL_SET_END()
