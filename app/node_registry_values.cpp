#include "app/node_registry_values.h"

#include <string>

#include "app/debug_settings.h"
#include "app/gui_link/gui_link_protocol.h"
#include "foundation/debug_channel.h"
#include "net/connection_limit.h"
#include "net/orvanthella_file_socket_thread.h"
#include "node/manager_log.h"
#include "node/vesmarin_manager.h"
#include "platform/error_output.h"

namespace ruzd::app {
namespace {

using foundation::KnownRegistryValue;
using foundation::RegistryValueKind;

KnownRegistryValue Number(const char* name, uint32_t fallback) {
    return {name, RegistryValueKind::kDword, std::to_string(fallback)};
}

KnownRegistryValue Text(const char* name, const std::string& fallback) {
    return {name, RegistryValueKind::kText, fallback};
}

}  // namespace

std::vector<KnownRegistryValue> NodeRegistryValues() {
    using net::COrvanthellaFileSocketThread;
    return {
        Number(node::kLocalTcpPortValue, node::kDefaultCommandPort),
        Number(node::kLocalFileSocketTcpPortValue, node::kDefaultFileSocketPort),
        Number(kGuiPortValue, kDefaultGuiPort),
        Text(kGuiBindAddressValue, std::string("\"") + kDefaultGuiBindAddress + "\""),
        Text(kRemoteAddressValue, std::string("\"") + kDefaultRemoteAddress + "\""),
        Number(kMaxDebugFilesValue, kDefaultMaxDebugFiles),
        Number(kDebugFileTypeValue, 0),
        Number(kDebugFolderMaxMBValue, kDefaultDebugFolderMaxMB),
        Text(kDebugDirectoryValue, "\".\\debug\\\" (the working folder's debug folder)"),
        Number("MaximumFileCacheSyncSizeMB",
               COrvanthellaFileSocketThread::kDefaultMaximumFileSizeMB),
        Number("FileCacheSyncUseCompression", 0),
        Text("LatestInstalledSetup", "\"\" (none)"),
        Number("Max Connections", net::kDefaultMaxConnections),
        Number("Other Connections Buffer KB", net::kDefaultOtherConnectionsBufferKB),
        Number("Active Connection Buffer MB", net::kDefaultActiveConnectionBufferMB),
        Text("Central Server Addresses", "\"\" (anyone may connect)"),
    };
}

void ReportRegistryMistakes() {
    for (const std::string& mistake : foundation::FindRegistryMistakes(
             node::kNodeRegistrySection, node::kNodeRegistrySection, NodeRegistryValues())) {
        platform::WriteErrorLine(mistake);
        node::ManagerLog(foundation::kDebugChannelGeneral, foundation::kDebugNone, mistake);
    }
}

}  // namespace ruzd::app
