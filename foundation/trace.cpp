#include "foundation/trace.h"

#include <cstdarg>

#include "foundation/debug_channel.h"
#include "foundation/debug_log.h"

namespace ruzd::foundation {

std::atomic<int> g_nTraceLevel{2};

namespace {

EDebugChannelType ChannelOfKind(int kind, bool has_device) {
    switch (kind) {
        case kTraceVoice:
            return has_device ? kDebugChannelVoice : kDebugChannelNone;
        case kTraceDti:
            return kDebugChannelDti;
        case kTraceGlobalCall:
            return kDebugChannelGlobalCall;
        case kTraceMsi:
            return kDebugChannelMsi;
        case kTraceAmtelco:
            return kDebugChannelAmtelco;
        case kTraceIp:
            return kDebugChannelIp;
        case kTraceSocket:
            return kDebugChannelSocket;
        default:
            return kDebugChannelNone;
    }
}

}  // namespace

int Trace(int kind, int32_t device, const char* format, ...) {
    const PinnedDebugFile log;
    if (log.get() == nullptr || !log->IsEnabled())
        return 0;
    int32_t line = device == 0 ? kDebugNone : device;
    int32_t call_id = kDebugNone;
    const EDebugChannelType channel = ChannelOfKind(kind, line != kDebugNone);
    if (kind == kTraceCallId) {
        call_id = line;
        line = kDebugNone;
    }
    va_list args;
    va_start(args, format);
    log->BeginLine(channel, line, call_id, CDebugFile::kPlainLine)
        .AppendFormatted(format, args)
        .EndLine();
    va_end(args);
    return 0;
}

}  // namespace ruzd::foundation
