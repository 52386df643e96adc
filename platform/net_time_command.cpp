#include "platform/net_time_command.h"

#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/host_name.h"
#include "platform/sntp_client.h"
#include "platform/text.h"

namespace ruzd::platform {
namespace {

constexpr std::string_view kUncPrefix = "\\\\";

bool SetSystemClock(WallTime time, std::string& error) {
    const auto since =
        std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch());
    timespec value{};
    value.tv_sec = static_cast<time_t>(since.count() / 1'000'000'000);
    value.tv_nsec = static_cast<long>(since.count() % 1'000'000'000);
    if (::clock_settime(CLOCK_REALTIME, &value) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

std::string Usage() {
    return "The syntax of this command is:\n\nNET TIME \\\\host [/SET] [/Y]\n";
}

}  // namespace

std::optional<NetTimeRequest> ParseNetArguments(const std::vector<std::string>& arguments,
                                                std::string& error) {
    if (arguments.empty() || !EqualsIgnoreCase(arguments[0], "time")) {
        error = "only the TIME command is available";
        return std::nullopt;
    }
    NetTimeRequest request;
    bool hostSeen = false;
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (EqualsIgnoreCase(argument, "/set")) {
            request.setClock = true;
        } else if (EqualsIgnoreCase(argument, "/y")) {
            // Nothing is asked, so there is nothing to answer.
        } else if (!hostSeen && argument.starts_with(kUncPrefix)) {
            request.host = argument.substr(kUncPrefix.size());
            hostSeen = true;
        } else {
            error = "unexpected argument \"" + argument + "\"";
            return std::nullopt;
        }
    }
    if (!hostSeen) {
        error = "no \\\\host given";
        return std::nullopt;
    }
    return request;
}

NetTimeEnvironment SystemNetTimeEnvironment() {
    NetTimeEnvironment environment;
    const char* allowed = std::getenv(kSetClockVariable);
    environment.mayShiftClock =
        ::geteuid() == 0 && allowed != nullptr && std::strcmp(allowed, "1") == 0;
    environment.shiftClock = SetSystemClock;
    return environment;
}

std::string FormatUtc(WallTime time) {
    const time_t seconds =
        std::chrono::system_clock::to_time_t(std::chrono::floor<std::chrono::seconds>(time));
    tm parts{};
    ::gmtime_r(&seconds, &parts);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return text;
}

int RunNetCommand(const std::vector<std::string>& arguments, const NetTimeEnvironment& environment,
                  std::ostream& out, std::ostream& err) {
    std::string error;
    const std::optional<NetTimeRequest> request = ParseNetArguments(arguments, error);
    if (!request) {
        err << "net: " << error << "\n\n" << Usage();
        return kNetUsage;
    }
    if (!IsHostNameOrAddress(request->host)) {
        err << "net: \"" << request->host << "\" is neither a host name nor an IP address\n";
        return kNetBadHost;
    }
    const std::optional<uint16_t> port = SntpPortFromEnvironment();
    if (!port) {
        err << "net: " << kSntpPortVariable << " is not a port number\n";
        return kNetUsage;
    }

    const SntpClient client(request->host, *port, *environment.clock);
    const SntpResult result = client.Query(environment.patience, environment.resendInterval);
    if (!result.time) {
        err << "net: could not get the time of \\\\" << request->host << ": " << result.error
            << "\n";
        return kNetNoTime;
    }
    out << "Current time at \\\\" << request->host << " is " << FormatUtc(result.time->serverTime)
        << "\n";

    if (request->setClock) {
        const WallTime corrected =
            environment.clock->Now() +
            std::chrono::duration_cast<WallTime::duration>(result.time->offset);
        const double offsetSeconds = std::chrono::duration<double>(result.time->offset).count();
        if (!environment.mayShiftClock) {
            out << Format(
                "The clock was not set (that needs root and %s=1); it would have been "
                "set to %s, %+.3f s from now.\n",
                kSetClockVariable, FormatUtc(corrected).c_str(), offsetSeconds);
        } else if (!environment.shiftClock(corrected, error)) {
            err << "net: the clock could not be set: " << error << "\n";
            return kNetClockNotSet;
        } else {
            out << Format("The clock was set to %s (%+.3f s).\n", FormatUtc(corrected).c_str(),
                          offsetSeconds);
        }
    }
    out << "\nThe command completed successfully.\n";
    return kNetSucceeded;
}

}  // namespace ruzd::platform
