#include "app/gui_link/debug_settings_values.h"

namespace ruzd::app {

void WriteDebugSettingsValues(net::COutputStreamSocket& writer, const DebugSettings& settings) {
    writer.WriteInt(settings.enabled)
        .WriteInt(settings.traceLevel)
        .WriteString(settings.directory)
        .WriteInt(static_cast<int32_t>(settings.maxFilesToKeep))
        .WriteInt(static_cast<int32_t>(settings.fileType));
}

std::optional<DebugSettings> ReadDebugSettingsValues(net::CInputStreamSocket& reader) {
    DebugSettings settings;
    int32_t maxFiles = 0;
    int32_t fileType = 0;
    reader.ReadInt(settings.enabled).ReadInt(settings.traceLevel).ReadString(settings.directory);
    reader.ReadNonNegative(maxFiles).ReadNonNegative(fileType);
    if (!reader.IsOk()) {
        return std::nullopt;
    }
    settings.maxFilesToKeep = static_cast<uint32_t>(maxFiles);
    settings.fileType = static_cast<uint32_t>(fileType);
    return settings;
}

}  // namespace ruzd::app
