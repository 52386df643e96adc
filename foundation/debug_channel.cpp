#include "foundation/debug_channel.h"

namespace ruzd::foundation {

const char* DebugChannelCode(int channel) {
    static const char* const kCodes[] = {"--", "**", "Lo", "So", "Vo", "Dt", "Ms",
                                         "Gf", "Am", "At", "Is", "In", "Ip"};
    if (channel < 0 || channel >= static_cast<int>(sizeof(kCodes) / sizeof(kCodes[0])))
        return "--";
    return kCodes[channel];
}

}  // namespace ruzd::foundation
