#include "foundation/debug_banner.h"

#include <unistd.h>

#include <filesystem>

#include "foundation/time_tools.h"
#include "platform/text.h"

namespace ruzd::foundation {
namespace {

const std::string kRule(100, '-');

std::string RunModeText() {
    return " as an NT service";
}

std::string ProcessUser() {
    return "\\";
}

}  // namespace

std::string GetExeBaseName() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return "";
    return exe.stem().string();
}

std::string GetExeFileVersion(bool /*dotted*/) {
    return "";
}

std::string BuildDebugBanner(const std::string& interval_label) {
    std::string banner = kRule + "\r\n";
    banner += platform::Format("\tLog file opened for %s version %s%s interval=%s\r\n",
                               GetExeBaseName().c_str(), GetExeFileVersion(true).c_str(),
                               RunModeText().c_str(), interval_label.c_str());
    banner += platform::Format("\t\tCurrent time (UTC): %s\r\n",
                               TimeTools::FormatUtcTimestamp(true).c_str());
    banner += platform::Format("\t\tCurrent time (Local): %s\r\n",
                               TimeTools::FormatLocalTimestamp(true).c_str());
    banner += platform::Format("\t\tUser: %s\r\n", ProcessUser().c_str());
    banner += kRule;
    return banner;
}

}  // namespace ruzd::foundation
