#include "node/central_clock.h"

#include "foundation/debug_channel.h"
#include "foundation/program_runner.h"
#include "foundation/utilities.h"
#include "node/manager_log.h"
#include "platform/host_name.h"
#include "platform/text.h"

namespace ruzd::node {
namespace {

using foundation::kDebugChannelNone;

// The host as it may stand in a log line: control characters would break the line.
std::string Printable(const std::string& text) {
    std::string printable;
    for (const char c : text) {
        printable += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
    }
    return printable;
}

// The program's output on one line.
std::string OneLine(const std::string& output) {
    std::string line;
    for (const char c : output) {
        if (c == '\r' || c == '\n') {
            if (!line.empty() && line.back() != ' ') {
                line += ' ';
            }
        } else {
            line += c;
        }
    }
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line;
}

}  // namespace

std::optional<std::string> CentralClock::CommandLine(const std::string& host) {
    if (!platform::IsHostNameOrAddress(host)) {
        return std::nullopt;
    }
    std::string line = platform::Format("net.exe time \\\\%s /set /y", host.c_str());
    if (line.size() > kMaxCommandLine) {
        return std::nullopt;
    }
    return line;
}

void CentralClock::SetFrom(const std::string& host, int32_t callId, uint32_t timeoutMs) {
    const std::optional<std::string> line = CommandLine(host);
    if (!line) {
        ManagerLog(kDebugChannelNone, callId,
                   "Clock not set: central host '" + Printable(host) +
                       "' is neither a host name nor an IP address");
        return;
    }
    std::string output;
    const int result =
        foundation::CUtilities::RunProgramAndCaptureOutput(*line, std::string(), output, timeoutMs);
    if (result == foundation::kRunStartFailed) {
        ManagerLog(kDebugChannelNone, callId, "ERROR Executing: " + *line);
        return;
    }
    ManagerLog(kDebugChannelNone, callId, "Executing: " + *line);
    if (result == foundation::kRunTimedOut) {
        ManagerLog(
            kDebugChannelNone, callId,
            platform::Format("Clock command did not end within %u ms and was stopped", timeoutMs));
    } else {
        ManagerLog(kDebugChannelNone, callId,
                   platform::Format("Clock command ended with %d: ", result) + OneLine(output));
    }
}

}  // namespace ruzd::node
