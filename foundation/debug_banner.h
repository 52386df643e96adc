#pragma once

// The banner at the top of every newly opened debug file: which program, which version, how
// it runs, the time in UTC and local time, and the user it runs as.

#include <string>

namespace ruzd::foundation {

// The banner for a file of the interval `interval_label`, as one text of several CRLF lines
// without the last line end.
std::string BuildDebugBanner(const std::string& interval_label);

// The running program's file name without folder and extension.
std::string GetExeBaseName();

// The running program's file version, "1.2.3.4" (dotted) or "1234"; "" when it has none.
std::string GetExeFileVersion(bool dotted);

}  // namespace ruzd::foundation
