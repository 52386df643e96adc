#include "foundation/debug_function.h"

#include "foundation/debug_log.h"
#include "platform/text.h"

namespace ruzd::foundation {

CDebugFunction::~CDebugFunction() {
    const PinnedDebugFile log;
    if (log.get() != nullptr)
        log->WriteExitLine(channel_, line_, call_id_, name_, result_);
}

std::shared_ptr<CDebugFile> CDebugFunction::Enter(const std::string& name, int32_t call_id,
                                                  EDebugChannelType channel, int32_t line) {
    name_ = name;
    call_id_ = call_id;
    channel_ = channel;
    line_ = line;
    SetLineCallId(channel, line, call_id);
    result_ = "(void)";
    return Begin(CDebugFile::kEntryLine);
}

std::shared_ptr<CDebugFile> CDebugFunction::EnterForLine(const std::string& name,
                                                         EDebugChannelType channel, int32_t line,
                                                         int32_t call_id) {
    name_ = name;
    channel_ = channel;
    if (line != kDebugNone)
        line_ = line;
    ResolveCallId(call_id);
    result_ = "(void)";
    return Begin(CDebugFile::kEntryLine);
}

std::shared_ptr<CDebugFile> CDebugFunction::BeginLine() {
    return Begin(CDebugFile::kPlainLine);
}

std::shared_ptr<CDebugFile> CDebugFunction::BeginLine(int32_t call_id) {
    ResolveCallId(call_id);
    return Begin(CDebugFile::kPlainLine);
}

std::shared_ptr<CDebugFile> CDebugFunction::BeginLine(EDebugChannelType channel, int32_t line,
                                                      int32_t call_id) {
    channel_ = channel;
    if (line != kDebugNone)
        line_ = line;
    ResolveCallId(call_id);
    return Begin(CDebugFile::kPlainLine);
}

void CDebugFunction::SetResult(int value) {
    result_ = platform::Format("%i", value);
}

void CDebugFunction::SetResultText(const std::string& text) {
    result_ = text;
}

void CDebugFunction::ResolveCallId(int32_t call_id) {
    if (call_id != kDebugNone) {
        call_id_ = call_id;
        SetLineCallId(channel_, line_, call_id);
    } else if (call_id_ == kDebugNone) {
        call_id_ = GetLineCallId(channel_, line_);
    }
}

std::shared_ptr<CDebugFile> CDebugFunction::Begin(CDebugFile::LineMode mode) {
    std::shared_ptr<CDebugFile> log = GetDebugFile();
    if (!log)
        return CDebugFile::Inert();
    log->BeginLine(channel_, line_, call_id_, mode);
    if (mode == CDebugFile::kEntryLine)
        log->Append(name_);
    return log;
}

}  // namespace ruzd::foundation
