#pragma once

// What the simulated vendor libraries ask of the machine around every call.

#include <cstdint>
#include <optional>
#include <string>

namespace ruzd::boardsim {

// Counts the call; the result forced on it through the control socket, if any.
std::optional<int64_t> BeginCall(const char* function);
// The result of a function that has no behaviour of its own.
int64_t DefaultResult(const char* function);
// Writes the call's journal line.
void EndCall(const char* library, const char* function, const std::string& arguments,
             const std::string& result);

}  // namespace ruzd::boardsim
