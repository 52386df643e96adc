#include "telephony/aculab_card.h"

namespace ruzd::telephony {

void CAculabCard::SetNetPortCount(int32_t count) {
    net_port_count_ = count;
    net_ports_.assign(count > 0 ? static_cast<size_t>(count) : 0, 0);
}

void CAculabCard::SetProsodyModuleCount(int32_t count) {
    prosody_module_count_ = count;
    prosody_modules_.assign(count > 0 ? static_cast<size_t>(count) : 0, 0);
}

int32_t CAculabCard::At(const std::vector<int32_t>& handles, int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= handles.size())
        return 0;
    return handles[static_cast<size_t>(index)];
}

void CAculabCard::Store(std::vector<int32_t>& handles, int32_t index, int32_t handle) {
    if (index < 0 || static_cast<size_t>(index) >= handles.size())
        return;
    handles[static_cast<size_t>(index)] = handle;
}

}  // namespace ruzd::telephony
