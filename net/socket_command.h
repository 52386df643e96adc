#pragma once

// One entry of a text socket's command table: how its handler is called, whether it needs an
// authorised connection and how many parameters it takes.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "net/block_sink.h"

namespace ruzd::net {

using SocketParameters = std::vector<std::string>;

// The ways a handler is called; the numbers are the handler types of the table.
enum SocketHandlerType : int {
    // handler(parameters); the line is removed before the call.
    kHandlerParameters = 0,
    // handler(parameters, lineLength, claim); the handler removes the line itself.
    kHandlerParametersClaim = 1,
    // handler(raw parameter text); the line is removed before the call.
    kHandlerRaw = 2,
    // handler(raw parameter text, lineLength, claim); the handler removes the line itself.
    kHandlerRawClaim = 3,
    // plain(context, argv, argc); the line is removed before the call.
    kHandlerPlain = 4,
    // plain(context, argv, argc, lineLength, bytes after the line, consumed); the handler
    // removes the line itself.
    kHandlerPlainData = 5,
    // handler(parameters, block, length) once the binary block that follows the line is
    // complete; the line is removed then.
    kHandlerParametersBlock = 6,
    // handler(parameters, length) as soon as the line arrives; the sink it gives takes the
    // binary block that follows the line as its bytes arrive (none: the block is read past).
    // The line is removed before the call.
    kHandlerParametersStream = 7,
};

enum SocketCountMode : int {
    kAnyCount = 0,
    kAtLeastFirstCount = 1,
    kExactlyOneOfCounts = 2,
};

using ParametersHandler = std::function<void(const SocketParameters&)>;
// A handler that sets `claim` has taken the rest of the received data: nothing more is parsed
// until new data arrives.
using ParametersClaimHandler =
    std::function<void(const SocketParameters&, int lineLength, bool& claim)>;
using RawHandler = std::function<void(const std::string&)>;
using RawClaimHandler = std::function<void(const std::string&, int lineLength, bool& claim)>;
// argv holds NUL-terminated copies of the decoded parameters, valid during the call.
using PlainHandler = int (*)(int context, const char* const* argv, int argc);
// `consumed` non-zero claims the rest of the data, as `claim` does above.
using PlainDataHandler = int (*)(int context, const char* const* argv, int argc, int lineLength,
                                 const uint8_t* after, size_t afterLength, int& consumed);
using BlockHandler =
    std::function<void(const SocketParameters&, const uint8_t* block, size_t length)>;
using StreamHandler =
    std::function<std::unique_ptr<BlockSink>(const SocketParameters&, size_t length)>;

// The alternative's index is the handler type.
using SocketHandler =
    std::variant<ParametersHandler, ParametersClaimHandler, RawHandler, RawClaimHandler,
                 PlainHandler, PlainDataHandler, BlockHandler, StreamHandler>;
static_assert(std::variant_size_v<SocketHandler> == kHandlerParametersStream + 1);

class CSocketCommand {
public:
    CSocketCommand(SocketHandler handler, bool needsAuthorised = false,
                   SocketCountMode countMode = kAnyCount, std::vector<int> allowedCounts = {},
                   int blockLengthParameter = -1, int context = 0);

    SocketHandlerType Type() const { return static_cast<SocketHandlerType>(handler_.index()); }
    bool NeedsAuthorised() const { return needs_authorised_; }
    SocketCountMode CountMode() const { return count_mode_; }
    const std::vector<int>& AllowedCounts() const { return allowed_counts_; }
    int BlockLengthParameter() const { return block_length_parameter_; }
    int Context() const { return context_; }
    const SocketHandler& Handler() const { return handler_; }

    // Whether `received` parameters pass the count check. On failure `expected` is what the
    // refusal reports: the first count for mode 1; for mode 2 the single listed count, or -1
    // when more than one is listed.
    bool CheckParameterCount(int received, int& expected) const;

private:
    SocketHandler handler_;
    bool needs_authorised_;
    SocketCountMode count_mode_;
    std::vector<int> allowed_counts_;
    int block_length_parameter_;
    int context_;
};

}  // namespace ruzd::net
