#include "node/command_arguments.h"

#include <cstring>
#include <memory>
#include <type_traits>
#include <utility>

#include "foundation/debug_file.h"
#include "node/manager_log.h"

namespace ruzd::node {

CommandArguments::CommandArguments(net::CInputStreamSocket& command, std::string_view word,
                                   int32_t call_id, foundation::EDebugChannelType channel,
                                   Refusal refusal)
    : command_(command),
      word_(word),
      call_id_(call_id),
      channel_(channel),
      refusal_(std::move(refusal)) {}

template <typename Value>
CommandArguments& CommandArguments::Read(
    Value& value, net::CInputStreamSocket& (net::CInputStreamSocket::*read)(Value&)) {
    if (may_end_ && !command_.HasMoreData()) {
        value = Value{};
    } else {
        (command_.*read)(value);
        NoteRead();
    }
    if (all_read_) {
        if constexpr (std::is_integral_v<Value>) {
            values_.AddNumber(static_cast<int32_t>(value));
        } else {
            values_.AddOther();
        }
    }
    return *this;
}

CommandArguments& CommandArguments::Line(int32_t& ldev) {
    Read(ldev, &net::CInputStreamSocket::ReadInt);
    line_ = ldev;
    return *this;
}

CommandArguments& CommandArguments::Line(uint32_t& ldev) {
    Read(ldev, &net::CInputStreamSocket::ReadUInt);
    line_ = static_cast<int32_t>(ldev);
    return *this;
}

CommandArguments& CommandArguments::ShownLine(int32_t& ldev) {
    return Line(ldev).Show(ldev);
}

CommandArguments& CommandArguments::Int(int32_t& value) {
    return Read(value, &net::CInputStreamSocket::ReadInt).Show(value);
}

CommandArguments& CommandArguments::Long(int32_t& value) {
    return Read(value, &net::CInputStreamSocket::ReadLong).Show(value);
}

CommandArguments& CommandArguments::NonNegative(int32_t& value) {
    return Read(value, &net::CInputStreamSocket::ReadNonNegative).Show(value);
}

CommandArguments& CommandArguments::UInt(uint32_t& value) {
    return Read(value, &net::CInputStreamSocket::ReadUInt).Shown(std::to_string(value));
}

CommandArguments& CommandArguments::Char(int8_t& value) {
    return Read(value, &net::CInputStreamSocket::ReadChar).Show(int32_t{value});
}

CommandArguments& CommandArguments::Byte(uint8_t& value) {
    return Read(value, &net::CInputStreamSocket::ReadByte).Show(int32_t{value});
}

CommandArguments& CommandArguments::Word(uint16_t& value) {
    return Read(value, &net::CInputStreamSocket::ReadWord).Show(int32_t{value});
}

CommandArguments& CommandArguments::String(std::string& text) {
    return Read(text, &net::CInputStreamSocket::ReadString).Show(text);
}

CommandArguments& CommandArguments::MayEndHere() {
    may_end_ = true;
    return *this;
}

CommandArguments& CommandArguments::Channel(foundation::EDebugChannelType channel) {
    channel_ = channel;
    return *this;
}

CommandArguments& CommandArguments::Show(int32_t value) {
    return Shown(std::to_string(value));
}

CommandArguments& CommandArguments::Show(std::string_view text) {
    return Shown(std::string(text));
}

CommandArguments& CommandArguments::Shown(std::string text) {
    shown_.push_back(std::move(text));
    return *this;
}

bool CommandArguments::Bytes(uint8_t* buffer, int length) {
    NoteRead();
    if (!all_read_ || !command_.HasMoreData()) {
        all_read_ = false;
        std::memset(buffer, 0, static_cast<size_t>(length));
        return false;
    }
    if (command_.ReadBytes(buffer, length)) {
        return true;
    }
    block_misfit_ = true;
    return false;
}

void CommandArguments::NoteRead() {
    if (!block_misfit_ && !command_.IsOk()) {
        all_read_ = false;
    }
}

bool CommandArguments::AllRead() {
    NoteRead();
    if (all_read_) {
        return true;
    }
    if (!refusal_logged_) {
        refusal_logged_ = true;
        ManagerLog(channel_, call_id_, word_ + ": command too short");
        if (refusal_) {
            refusal_(values_);
        }
    }
    return false;
}

bool CommandArguments::Enter() {
    if (!AllRead()) {
        return false;
    }
    trace_.emplace();
    std::shared_ptr<foundation::CDebugFile> log =
        trace_->Enter("SocketCmd" + word_, call_id_, channel_, line_);
    for (const std::string& value : shown_) {
        log->Append(value);
    }
    log->EndLine();
    return true;
}

void CommandArguments::TraceLine(const std::string& text) {
    if (trace_) {
        trace_->BeginLine()->Append(text).EndLine();
    }
}

void CommandArguments::TraceLineOn(foundation::EDebugChannelType channel, int32_t line,
                                   const std::string& text) {
    if (trace_) {
        trace_->BeginLine(channel, line, call_id_)->Append(text).EndLine();
    }
}

void CommandArguments::LogName() {
    ManagerLog(channel_, call_id_, "SocketCmd" + word_);
}

}  // namespace ruzd::node
