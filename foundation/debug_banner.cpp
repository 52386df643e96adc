#include "foundation/debug_banner.h"

#include "foundation/app_hooks.h"
#include "foundation/time_tools.h"
#include "foundation/utilities.h"
#include "foundation/version_record.h"
#include "platform/running_program.h"
#include "platform/text.h"

namespace ruzd::foundation {
namespace {

const std::string kRule(100, '-');

// Headless counts as a service: only the two window modes have a user in front of them.
std::string RunModeText() {
    return CurrentApp().IsWindowMode() ? "" : " as an NT service";
}

// "DOMAIN\user"; just the backslash when the account cannot be read.
std::string ProcessUser() {
    std::string user;
    std::string domain;
    if (!CUtilities::GetProcessUserName(0, user, domain)) {
        user.clear();
        domain.clear();
    }
    return domain + "\\" + user;
}

}  // namespace

std::string GetExeBaseName() {
    return platform::RunningProgramBaseName();
}

std::string GetExeFileVersion(bool dotted) {
    const FixedFileInfo& fixed = RunningProgramVersionRecord().fixed;
    if (fixed.signature != kFixedFileInfoSignature)
        return "";
    return platform::Format(dotted ? "%u.%u.%u.%u" : "%u%u%u%u", fixed.fileVersionMS >> 16,
                            fixed.fileVersionMS & 0xFFFFu, fixed.fileVersionLS >> 16,
                            fixed.fileVersionLS & 0xFFFFu);
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
