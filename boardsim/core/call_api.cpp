#include "boardsim/core/call_api.h"

#include "boardsim/core/machine.h"

namespace ruzd::boardsim {

std::optional<int64_t> BeginCall(const char* function) {
    return Machine::Get().results().BeginCall(function);
}

int64_t DefaultResult(const char* function) {
    return Machine::Get().results().Default(function);
}

void EndCall(const char* library, const char* function, const std::string& arguments,
             const std::string& result) {
    Machine::Get().journal().Write(library, function, arguments, result);
}

}  // namespace ruzd::boardsim
