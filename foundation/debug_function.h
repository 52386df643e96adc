#pragma once

// The trace record of one function call, kept on the caller's stack: its entry line is written
// by Enter, and when the record goes out of scope an exit line with the function's result.
//
//   CDebugFunction trace;
//   trace.Enter("OpenLine", callId, kDebugChannelVoice, line)->Append(board).EndLine();
//   ...
//   trace.SetResult(rc);

#include <cstdint>
#include <memory>
#include <string>

#include "foundation/debug_channel.h"
#include "foundation/debug_file.h"

namespace ruzd::foundation {

class CDebugFunction {
public:
    CDebugFunction() = default;
    // Writes the exit line when a log exists.
    ~CDebugFunction();
    CDebugFunction(const CDebugFunction&) = delete;
    CDebugFunction& operator=(const CDebugFunction&) = delete;

    // The entry forms and the begin forms return the log (the inert log when none is started);
    // the caller appends its values and ends the line.

    // Takes all four values and remembers the call id for the channel's line.
    std::shared_ptr<CDebugFile> Enter(const std::string& name, int32_t call_id,
                                      EDebugChannelType channel, int32_t line);
    // A line other than none replaces the record's; a call id other than none replaces the
    // record's and is remembered for the line; with none the record keeps its own or, lacking
    // one, takes the one remembered for the line.
    std::shared_ptr<CDebugFile> EnterForLine(const std::string& name, EDebugChannelType channel,
                                             int32_t line, int32_t call_id = kDebugNone);

    // A plain line with the record's channel, line and call id.
    std::shared_ptr<CDebugFile> BeginLine();
    // The call id resolved as in EnterForLine first.
    std::shared_ptr<CDebugFile> BeginLine(int32_t call_id);
    // Channel, line and call id resolved as in EnterForLine first.
    std::shared_ptr<CDebugFile> BeginLine(EDebugChannelType channel, int32_t line, int32_t call_id);

    void SetResult(int value);
    void SetResultText(const std::string& text);

private:
    void ResolveCallId(int32_t call_id);
    std::shared_ptr<CDebugFile> Begin(CDebugFile::LineMode mode);

    std::string name_ = "Unknown";
    std::string result_ = "(void)";
    EDebugChannelType channel_ = kDebugChannelNone;
    int32_t line_ = kDebugNone;
    int32_t call_id_ = kDebugNone;
};

}  // namespace ruzd::foundation
