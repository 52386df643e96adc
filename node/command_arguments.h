#pragma once

// The values of one command from the central server, read by its handler in order. Each value is
// shown on the handler's trace entry line ("SocketCmd" and the command's word) in the order read;
// the entry line is written only once every value has been read, so that a command whose frame
// ends before its values, or carries a value its read refuses (a negative non-negative, say),
// writes one line "<WORD>: command too short" and nothing else, and its handler calls nothing.
//
//   CommandArguments args = Arguments(command, kDebugChannelVoice);
//   if (!args.Line(ldev).Int(board).Int(channel).Enter()) {
//       return;
//   }
//   ...
//   args.TraceLine(Format("dx_open name=%s RC=%d", name.c_str(), handle));
//
// The reader holds the handler's trace scope: its exit line is written when the reader goes.
//
// A refused command still answers, when its command has an answer the central server waits
// for: the reader hands the refusal what the frame held before the refused value, once.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/debug_channel.h"
#include "foundation/debug_function.h"
#include "net/input_stream_socket.h"
#include "node/command_values.h"

namespace ruzd::node {

class CommandArguments {
public:
    // Sends a refused command's answer.
    using Refusal = std::function<void(const CommandValues& values)>;

    // `word` is the command's word from the command list, `call_id` the command id; `refusal`,
    // when given, runs when the command is refused.
    CommandArguments(net::CInputStreamSocket& command, std::string_view word, int32_t call_id,
                     foundation::EDebugChannelType channel, Refusal refusal = {});
    CommandArguments(const CommandArguments&) = delete;
    CommandArguments& operator=(const CommandArguments&) = delete;

    // The device the command names: the entry line's line number, not itself shown among the
    // values. A command without one has no line number. The unsigned form refuses a negative
    // value.
    CommandArguments& Line(int32_t& ldev);
    CommandArguments& Line(uint32_t& ldev);
    // The device as the line number and as the first value shown, as the call-control commands
    // show it.
    CommandArguments& ShownLine(int32_t& ldev);

    // Values, each shown as it is read: numbers in decimal, text as it is.
    CommandArguments& Int(int32_t& value);
    CommandArguments& Long(int32_t& value);
    CommandArguments& NonNegative(int32_t& value);
    // Shown unsigned.
    CommandArguments& UInt(uint32_t& value);
    CommandArguments& Char(int8_t& value);
    CommandArguments& Byte(uint8_t& value);
    CommandArguments& Word(uint16_t& value);
    CommandArguments& String(std::string& text);
    // The frame may end before any of the values read after this: older central servers leave
    // them out. A value the frame does not have reads as 0 (or empty text) and is not missing.
    CommandArguments& MayEndHere();
    // The log channel of the entry line from now on, for a command whose channel follows from
    // a value it read (a device type).
    CommandArguments& Channel(foundation::EDebugChannelType channel);
    // A value the handler read or changed itself, shown in its place.
    CommandArguments& Show(int32_t value);
    CommandArguments& Show(std::string_view text);

    // A byte block of exactly `length` bytes, not shown; it is the last value of its command. A
    // frame that ends before it is short. True when the block is of that length; a block of
    // another length is skipped and leaves the buffer zeroed, and what that means is the
    // handler's to say: the command is not refused for it.
    bool Bytes(uint8_t* buffer, int length);

    // The command, for a read the reader has no form for: a read that fails there counts as a
    // value not read.
    net::CInputStreamSocket& Stream() { return command_; }

    // True when every value was read; otherwise logs "<WORD>: command too short" and sends the
    // refused command's answer (once).
    bool AllRead();
    // AllRead, then the entry line. False, without an entry line, for a refused command.
    bool Enter();
    // A plain line in the entered scope.
    void TraceLine(const std::string& text);
    // A plain line in the entered scope on another channel and line.
    void TraceLineOn(foundation::EDebugChannelType channel, int32_t line, const std::string& text);
    // The trace name as a plain line with the command id: how the session commands begin.
    void LogName();

private:
    // Takes the command's ok flag into the reader's: cleared once a read failed, it says nothing
    // after a block of another length, which the handler deals with.
    void NoteRead();
    // Reads one value with the command's `read`, unless the frame may and does end before it.
    template <typename Value>
    CommandArguments& Read(Value& value,
                           net::CInputStreamSocket& (net::CInputStreamSocket::*read)(Value&));
    CommandArguments& Shown(std::string text);

    net::CInputStreamSocket& command_;
    const std::string word_;
    const int32_t call_id_;
    foundation::EDebugChannelType channel_;
    int32_t line_ = foundation::kDebugNone;
    const Refusal refusal_;
    std::vector<std::string> shown_;
    // The values read up to the first that failed.
    CommandValues values_;
    bool all_read_ = true;
    bool may_end_ = false;
    bool block_misfit_ = false;
    bool refusal_logged_ = false;
    std::optional<foundation::CDebugFunction> trace_;
};

}  // namespace ruzd::node
