#pragma once

// The detailed trace of Aculab calls, at trace level 4 or more: the call with its arguments,
// and its result with the library's text for a failure.

#include <cstdint>

namespace ruzd::telephony {

// "*** ACULAB: tid=0x<thread> <name>(<arguments>)", the arguments formatted printf-style and cut
// after 510 characters.
void TraceAculabCall(const char* name, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// "*** ACULAB: tid=0x<thread>    <name>() = <result>"; a non-zero result that is negative, or any
// non-zero one when `always` is set, adds the line with the library's error text.
void TraceAculabResult(const char* name, int32_t result, bool always);

}  // namespace ruzd::telephony
