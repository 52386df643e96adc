#pragma once

// The text of a debug line: the header every line starts with and the bytes the file holds.
// Every line pays for these, so they are written without printf.

#include <cstdint>
#include <string>

#include "foundation/debug_channel.h"
#include "foundation/debug_file.h"

namespace ruzd::foundation {

// Appends "13:05:09.042:1a4:000000345:Vo0012 2 " (the time now in UTC minus the server time
// shift, the calling thread, the call id's last nine digits, the channel, the line number and the
// depth) and, for plain and entry lines, the depth's dashes.
void AppendDebugLineHeader(std::string& out, EDebugChannelType channel, int32_t line,
                           int32_t call_id, CDebugFile::LineMode mode, int depth);

// Turns a composed line (UTF-8) into the bytes the file holds, in place: Windows-1252 with a
// CRLF.
void ToDebugFileBytes(std::string& line);

}  // namespace ruzd::foundation
