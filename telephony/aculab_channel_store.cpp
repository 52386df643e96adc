#include "telephony/aculab_channel_store.h"

namespace ruzd::telephony {

foundation::Published<AculabChannelStore>& PublishedAculabChannels() {
    static foundation::Published<AculabChannelStore> published;
    return published;
}

}  // namespace ruzd::telephony
