// Ends a use of vendor_table_members.h or vendor_table_binding.h.

#undef VENDOR_FUNCTION
#undef VENDOR_FUNCTION_SILENT
#undef VENDOR_TWIN
#undef VENDOR_PAIR
#undef VENDOR_MINIMAL_SET_END
