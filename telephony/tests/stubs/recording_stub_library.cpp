// A stand-in for one vendor library that writes down every call made to it, with its
// arguments, and answers with the number made from the function's name (stub_value.h); a
// function that returns text answers with its name followed by the Windows-1252 letter 0xE9. Made
// from the library's function list (STUB_FUNCTIONS names it); the build may hide chosen
// exports. The test takes the calls written so far through stub_take_calls.

#include <mutex>
#include <string>
#include <type_traits>
#include <vector>

#include "telephony/tests/stubs/stub_arguments.h"
#include "telephony/tests/stubs/stub_value.h"
#include "telephony/vendorapi/function_lists.h"

#define STUB_EXPORT extern "C" __attribute__((visibility("default")))
#define STUB_AFTER_COMMA(...) __VA_OPT__(, ) __VA_ARGS__

namespace {

std::mutex g_mutex;
std::vector<std::string> g_calls;

template <typename... Args>
void Record(const char* name, const Args&... args) {
    std::lock_guard<std::mutex> hold(g_mutex);
    g_calls.push_back(ruzd::telephony::stubs::CallText(name, args...));
}

template <typename Result>
Result Answer(const char* name, const char* text) {
    if constexpr (std::is_same_v<Result, const char*>) {
        return text;
    } else {
        return ruzd::telephony::stubs::StubResult<Result>(name);
    }
}

}  // namespace

// Moves the calls written so far into `calls`.
STUB_EXPORT void stub_take_calls(std::vector<std::string>* calls) {
    std::lock_guard<std::mutex> hold(g_mutex);
    calls->insert(calls->end(), g_calls.begin(), g_calls.end());
    g_calls.clear();
}

#define VENDOR_FUNCTION(ret, name, params, args) \
    STUB_EXPORT ret name params {                \
        Record(#name STUB_AFTER_COMMA args);     \
        return Answer<ret>(#name, #name "\xE9"); \
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
