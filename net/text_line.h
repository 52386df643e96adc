#pragma once

// The framing of the text-command protocol: a line of text ended by a carriage return, either
// narrow (Windows-1252 bytes) or wide (UTF-16LE, the terminator being the code unit 0x000D),
// made of a command word and blank-separated parameters.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "net/socket_command.h"

namespace ruzd::net {

// The byte length of the first line in `data` (the bytes before its terminator); none while
// no complete terminator has arrived. In wide mode only code-unit boundaries are searched, so
// a 0x0D that is half of another character never ends a line.
std::optional<size_t> FindLineEnd(const uint8_t* data, size_t length, bool wide);

// The line's bytes as UTF-8 text.
std::string DecodeLineText(const uint8_t* data, size_t length, bool wide);
// UTF-8 text as the bytes of a line in the given mode (no terminator is added).
std::string EncodeLineText(std::string_view text, bool wide);

// Splits at the first blank: the command word before it and the parameter text after it. A
// line without a blank, or whose first character is a blank, is all command word.
void SplitCommandLine(std::string_view line, std::string& word, std::string& parameters);

// The parameter text split on single blanks (two blanks in a row give an empty parameter),
// each parameter decoded.
SocketParameters SplitParameters(std::string_view parameters);

// The byte length of a binary block as the peer announced it: a signed 32-bit decimal number from 0
// to `maximum`; none for a negative, unreadable or larger one.
std::optional<size_t> ParseBlockLength(std::string_view text, size_t maximum);

}  // namespace ruzd::net
