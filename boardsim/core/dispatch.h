#pragma once

// The body of every simulated vendor function. A call is counted; a result forced through
// the control socket wins; otherwise a function with a behaviour of its own runs it, and any
// other returns its configured result (0 by default; null for pointers). Either way the call
// is journalled with its arguments and result.
//
// A family gets real behaviour by specialising Behaviour for its functions' tags (see
// behaviours.h) with kReal = true and a static Run of the function's own signature.

#include <cstdint>
#include <optional>
#include <tuple>
#include <type_traits>

#include "boardsim/core/argument_text.h"
#include "boardsim/core/call_api.h"
#include "boardsim/core/function_tags.h"

namespace ruzd::boardsim {

template <typename Tag>
struct Behaviour {
    static constexpr bool kReal = false;
};

// Declares that a function behaves: BOARDSIM_BEHAVIOUR(dx_open, int32_t, (const char* name,
// int32_t oflags)), inside namespace ruzd::boardsim; the core defines Run.
#define BOARDSIM_BEHAVIOUR(name, ret, params) \
    template <>                               \
    struct Behaviour<tags::name> {            \
        static constexpr bool kReal = true;   \
        static ret Run params;                \
    };

template <typename Result>
Result ResultFromNumber(int64_t number) {
    if constexpr (std::is_pointer_v<Result>) {
        return nullptr;
    } else {
        return static_cast<Result>(number);
    }
}

template <typename Result, typename Function, typename... Args>
Result Dispatch(const char* library, const char* function, std::tuple<Args...> arguments) {
    const std::optional<int64_t> forced = BeginCall(function);
    if constexpr (std::is_void_v<Result>) {
        if constexpr (Function::kReal) {
            if (!forced)
                std::apply(Function::Run, arguments);
        }
        EndCall(library, function, ArgumentsText(arguments), "void");
    } else {
        Result result{};
        if (forced) {
            result = ResultFromNumber<Result>(*forced);
        } else if constexpr (Function::kReal) {
            result = std::apply(Function::Run, arguments);
        } else {
            result = ResultFromNumber<Result>(DefaultResult(function));
        }
        EndCall(library, function, ArgumentsText(arguments), ValueText(result));
        return result;
    }
}

}  // namespace ruzd::boardsim
