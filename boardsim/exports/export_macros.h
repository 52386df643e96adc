// Turns a function list into the simulated library's exports: each export is the dispatch of
// its name (boardsim/core/dispatch.h) under its own signature. The file that includes it
// names its library in kLibrary, then includes its list. The event functions bound twice by
// the node are exported once, with the event handle.

#include <tuple>

#include "boardsim/core/behaviours.h"

#define BOARDSIM_EXPORT extern "C" __attribute__((visibility("default")))

#define VENDOR_FUNCTION(ret, name, params, args)                                                   \
    BOARDSIM_EXPORT ret name params {                                                              \
        return ::ruzd::boardsim::Dispatch<                                                         \
            ret, ::ruzd::boardsim::Behaviour<::ruzd::boardsim::tags::name>>(kLibrary, #name,       \
                                                                            std::make_tuple args); \
    }
#define VENDOR_FUNCTION_SILENT(ret, name, params, args) VENDOR_FUNCTION(ret, name, params, args)
#define VENDOR_TWIN(ret, name, copy, params, args) BOARDSIM_TWIN_##copy(ret, name, params, args)
#define BOARDSIM_TWIN_0(ret, name, params, args)
#define BOARDSIM_TWIN_1(ret, name, params, args) VENDOR_FUNCTION(ret, name, params, args)
#define VENDOR_PAIR(ret, newer, older, params, args) \
    VENDOR_FUNCTION(ret, newer, params, args)        \
    VENDOR_FUNCTION(ret, older, params, args)
#define VENDOR_MINIMAL_SET_END()
