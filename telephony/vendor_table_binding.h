// Binds every export of a function list, in its order, into the members that
// vendor_table_members.h declared. Included inside a table constructor, before the list;
// vendor_table_end.h undoes it. No include guard: every table includes it again.

#define VENDOR_FUNCTION(ret, name, params, args) BindExport(name, #name);
#define VENDOR_FUNCTION_SILENT(ret, name, params, args) BindExportSilently(name, #name);
#define VENDOR_TWIN(ret, name, copy, params, args) BindTwin(name##_##copy, #name, copy);
#define VENDOR_PAIR(ret, newer, older, params, args) BindPair(newer, #newer, older, #older);
#define VENDOR_MINIMAL_SET_END() MinimalSetBound();
