#pragma once

// The watchdog's own log, "Tormbel.log" in the working folder: one line per event, the UTC time
// with milliseconds, a blank and the text, in the ANSI code page (Windows-1252, a character it
// lacks as '?') with CR LF line ends (those inside the text too). The file is opened for each
// line and closed after it, so other programs may read it at any time, and each line goes out in
// one write under a lock, so lines of several threads never mix.

#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace ruzd::watchdog {

inline constexpr const char* kLogFileName = "Tormbel.log";

// The line for `text` at `time`, with its line end.
std::string LogLine(platform::WallTime time, std::string_view text);

// Appends a line, whole or not at all. Only a regular file is opened: a FIFO in its place is
// refused at once. A line that cannot be written (a file that cannot be opened, a full disk) is
// lost: the first such loss is said on stderr and in syslog, again an hour later at the soonest
// while they go on, and once lines can be written again the log says how many were lost.
void WriteLog(std::string_view text);
void WriteLogFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The process's command line as the log shows it: the words joined by blanks, an empty word or
// one with a blank in quotes.
std::string CommandLineText(const std::vector<std::string>& words);

}  // namespace ruzd::watchdog
