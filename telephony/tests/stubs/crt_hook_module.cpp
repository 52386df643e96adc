// A module that brings its own C run time's invalid-parameter hook: it keeps the handler it is
// given and calls it when asked to fail, as that run time does on an invalid argument.

#include <cstdint>

#include "telephony/invalid_parameter_hook.h"

namespace {

ruzd::telephony::InvalidParameterHandler g_handler = nullptr;

}  // namespace

extern "C" __attribute__((visibility("default"))) ruzd::telephony::InvalidParameterHandler
_set_invalid_parameter_handler(ruzd::telephony::InvalidParameterHandler handler) {
    ruzd::telephony::InvalidParameterHandler previous = g_handler;
    g_handler = handler;
    return previous;
}

// Fails as the run time does: through the handler when one is set. False without one.
extern "C" __attribute__((visibility("default"))) bool crt_hook_fail(unsigned int line) {
    if (g_handler == nullptr)
        return false;
    g_handler(L"buffer != NULL", L"strcpy_s", L"crt\\strcpy_s.c", line, 0);
    return true;
}
