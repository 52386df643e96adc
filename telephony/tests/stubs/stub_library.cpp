// A stand-in for one vendor library, made from its function list (STUB_FUNCTIONS names it).
// The build hides chosen exports with a version script, so that the binding tests can load
// libraries that lack exactly the functions they name. With STUB_TING_TRACE the library also
// exports the two trace data symbols of the Prosody media library.

#include "telephony/tests/stubs/stub_value.h"
#include "telephony/vendorapi/function_lists.h"

#pragma GCC diagnostic ignored "-Wunused-parameter"

#define STUB_EXPORT extern "C" __attribute__((visibility("default")))

#define VENDOR_FUNCTION(ret, name, params, args)               \
    STUB_EXPORT ret name params {                              \
        return ruzd::telephony::stubs::StubResult<ret>(#name); \
    }
#define VENDOR_FUNCTION_SILENT(ret, name, params, args) VENDOR_FUNCTION(ret, name, params, args)
#define VENDOR_TWIN(ret, name, copy, params, args) STUB_TWIN_##copy(ret, name, params, args)
#define STUB_TWIN_0(ret, name, params, args)
#define STUB_TWIN_1(ret, name, params, args) VENDOR_FUNCTION(ret, name, params, args)
#define VENDOR_PAIR(ret, newer, older, params, args) \
    VENDOR_FUNCTION(ret, newer, params, args)        \
    VENDOR_FUNCTION(ret, older, params, args)
#define VENDOR_MINIMAL_SET_END()

#include STUB_FUNCTIONS

#ifdef STUB_TING_TRACE
extern "C" {
__attribute__((visibility("default"))) int TiNGtrace = 0;
__attribute__((visibility("default"))) TiNG_SHOWTRACE TiNG_showtrace = nullptr;
}
#endif
