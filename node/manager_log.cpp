#include "node/manager_log.h"

#include <memory>

#include "foundation/debug_log.h"

namespace ruzd::node {

void ManagerLog(foundation::EDebugChannelType channel, int32_t callId, std::string_view text) {
    std::shared_ptr<foundation::CDebugFile> log = foundation::GetDebugFile();
    if (!log) {
        return;
    }
    log->BeginLine(channel, foundation::kDebugNone, callId).Append(text).EndLine();
}

}  // namespace ruzd::node
