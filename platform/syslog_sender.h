#pragma once

// One line to the system log, as syslog(3) sends it ("<priority>Mmm dd hh:mm:ss ident[pid]:
// message", facility user) to the datagram socket /dev/log; RUZD_SYSLOG_SOCKET names another
// socket in its place, so that tests read what a program logs. Nothing happens when no one
// listens there.

#include <cstdint>
#include <string>
#include <string_view>

namespace ruzd::platform {

inline constexpr const char* kSyslogSocketVariable = "RUZD_SYSLOG_SOCKET";

enum class SyslogSeverity : uint32_t { kError = 3, kWarning = 4, kInformation = 6 };

// The tag of this program's lines: one word (RFC 3164 allows at most 32 letters, digits and
// "_.-"), the name of the service the process runs for (RUZD_SERVICE_NAME), else the program's
// own name, so that rsyslog and journald take it, with the pid, as the program's identifier.
std::string ProgramSyslogIdent();
// `text` cut to such a word: every other character becomes '_'; "ruzd" for an empty one.
std::string SyslogIdentOf(std::string_view text);

// The datagram sent for the line (without the time, which `timestamp` gives).
std::string SyslogDatagram(SyslogSeverity severity, std::string_view timestamp,
                           std::string_view ident, uint32_t pid, std::string_view message);

void SendToSyslog(SyslogSeverity severity, std::string_view ident, std::string_view message);

}  // namespace ruzd::platform
