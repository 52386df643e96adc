#pragma once

// The run-time library's invalid-parameter hook. A module built on a C run time that ends the
// process on an invalid argument may export "_set_invalid_parameter_handler"; the node hands
// its own handler to every loaded module that does, so that such a call logs a line and
// returns its error code to its caller instead. The system C library has no such hook, so on
// this platform only vendor modules that bring their own run time take part.

#include <cstdint>

namespace ruzd::telephony {

// The handler's signature, as the run time calls it: the failing expression, function and
// source file (any may be null) and the source line.
using InvalidParameterHandler = void (*)(const wchar_t* expression, const wchar_t* function,
                                         const wchar_t* file, unsigned int line,
                                         uintptr_t reserved);

// The exported setter: takes the new handler and returns the old one.
using SetInvalidParameterHandler = InvalidParameterHandler (*)(InvalidParameterHandler handler);

// The node's handler: logs "ERROR myInvalidParameterHandler expression %s function %s file %s
// line %u" and returns.
void NodeInvalidParameterHandler(const wchar_t* expression, const wchar_t* function,
                                 const wchar_t* file, unsigned int line, uintptr_t reserved);

// Walks the loaded modules and hands NodeInvalidParameterHandler to every one that exports the
// setter. Returns how many took it; nothing happens when the walk finds no module.
int InstallInvalidParameterHandler();

}  // namespace ruzd::telephony
