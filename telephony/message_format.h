#pragma once

// Text formatted by the Windows message-format rules, as vendor libraries written for
// Windows expect their trace texts to be formatted: inserts %1 to %99, each with an optional
// printf conversion between exclamation marks (!s! when none), and the escapes %0 (end),
// %n (line break), %r, %t, %space, %., %! and %%.

#include <cstdarg>
#include <string>

namespace ruzd::telephony {

// The arguments are read in the order of their numbers, each as one machine word; a
// floating-point conversion is not supported (as by the Windows rules) and inserts nothing.
std::string FormatMessageText(const char* format, va_list args);

}  // namespace ruzd::telephony
