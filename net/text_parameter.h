#pragma once

// Parameters of the text-command protocol travel blank-separated on a line ended by a carriage
// return, so a parameter carries its own blanks and carriage returns as stand-in characters,
// and an empty parameter as a marker of its own (else it would vanish between two blanks).

#include <string>
#include <string_view>

namespace ruzd::net {

constexpr char kParameterBlank = '\x0C';
constexpr char kParameterCarriageReturn = '\x07';
constexpr char kParameterEmpty = '\x08';

// The text as one wire parameter: empty -> 0x08; otherwise ' ' -> 0x0C and '\r' -> 0x07.
std::string EncodeParameter(std::string_view text);

// Undoes EncodeParameter: 0x0C -> ' ', 0x07 -> '\r', and exactly "\x08" -> "".
std::string DecodeParameter(std::string_view parameter);

}  // namespace ruzd::net
