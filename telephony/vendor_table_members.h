// Declares one function-pointer member per export of a function list (see
// telephony/vendorapi/function_lists.h). Included inside a table class, before the list;
// vendor_table_end.h undoes it. No include guard: every table includes it again.

#define VENDOR_FUNCTION(ret, name, params, args) ret(*name) params = nullptr;
#define VENDOR_FUNCTION_SILENT(ret, name, params, args) ret(*name) params = nullptr;
#define VENDOR_TWIN(ret, name, copy, params, args) ret(*name##_##copy) params = nullptr;
#define VENDOR_PAIR(ret, newer, older, params, args) \
    ret(*newer) params = nullptr;                    \
    ret(*older) params = nullptr;
#define VENDOR_MINIMAL_SET_END()
