#pragma once

// One plain line in a traced function's scope: its channel, line and call id.

#include <string>

#include "foundation/debug_function.h"

namespace ruzd::node {

inline void TraceLine(foundation::CDebugFunction& trace, const std::string& line) {
    trace.BeginLine()->Append(line).EndLine();
}

}  // namespace ruzd::node
