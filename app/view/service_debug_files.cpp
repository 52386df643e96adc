#include "app/view/service_debug_files.h"

#include <algorithm>

#include "foundation/debug_file.h"
#include "platform/computer_name.h"
#include "platform/ipv4_text.h"

namespace ruzd::app {

namespace {

bool IsThisMachine(const std::string& address) {
    const uint32_t ipv4 = platform::ParseIpv4(address);
    // Network byte order: the first byte of the dotted text is the lowest.
    if (ipv4 != platform::kNoIpv4Address && (ipv4 & 0xFF) == 127) {
        return true;
    }
    return !address.empty() && platform::IsLocalMachineName(address);
}

}  // namespace

std::string CurrentDebugFileOf(const DebugSettings& settings) {
    const foundation::CDebugFile log(settings.directory + kDebugFilePrefix, settings.fileType,
                                     false, settings.maxFilesToKeep);
    return log.MakeFileName();
}

std::string ServiceDebugFolder(const std::string& address, const std::string& directory) {
    if (IsThisMachine(address)) {
        return directory;
    }
    std::string folder = "\\\\" + address + "\\" + directory;
    std::replace(folder.begin(), folder.end(), ':', '$');
    return folder;
}

}  // namespace ruzd::app
