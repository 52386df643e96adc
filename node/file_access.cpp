#include "node/file_access.h"

#include "foundation/debug_channel.h"
#include "node/manager_log.h"
#include "platform/crt_file.h"
#include "platform/crt_flags.h"
#include "platform/win_error.h"

namespace ruzd::node {

bool MakeFileReadWrite(const std::string& windowsPath) {
    if (platform::CrtChmod(windowsPath,
                           platform::kCrtPermissionRead | platform::kCrtPermissionWrite) == 0) {
        return true;
    }
    ManagerLog(
        foundation::kDebugChannelVoice, foundation::kDebugNone,
        "chmod(" + windowsPath + ", _S_IREAD|_S_IWRITE) failed, error=" + std::to_string(platform::GetLastError()));
    return false;
}

}  // namespace ruzd::node
