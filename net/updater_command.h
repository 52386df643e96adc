#pragma once

// The command the local update service takes: lines of fields separated by form feeds, each
// line ended by a carriage return. The first line runs the updater program; the second, when
// a program is to be started again afterwards, names that program.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ruzd::net {

struct UpdaterCommand {
    std::string updaterPath;
    std::string updateArgument;
    // Empty: no second line.
    std::string restartPath;
    // Empty: a single blank goes in its place.
    std::string restartArguments;
    bool deleteUpdater = false;
    bool waitForUpdater = false;
    // The session the programs are to run in; left out when unknown.
    std::optional<uint32_t> sessionId;
};

// "<updater>\fS\f<D or ->\fL\f<argument>\f<switches>\r" with the switches
// "/sessionid:<n>" (when known), "/delete", "/wait", "/user:system" and "/log" run together,
// then, with a restart path, "<restart>\fU\fR\fL\f<arguments>\f/sessionid:<n>\r".
std::string BuildUpdaterCommand(const UpdaterCommand& command);

}  // namespace ruzd::net
