#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "boardsim/core/behaviours.h"
#include "boardsim/core/machine.h"

namespace ruzd::boardsim {
namespace {

// A list the caller frees with NCM_Dealloc.
NCMVALUE* MakeList(const std::vector<std::string>& names) {
    NCMVALUE* head = nullptr;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        auto* node = static_cast<NCMVALUE*>(std::calloc(1, sizeof(NCMVALUE)));
        node->name = strdup(it->c_str());
        node->next = head;
        head = node;
    }
    return head;
}

bool Names(const NCMVALUE* value, const char* name) {
    return value != nullptr && value->name != nullptr && std::strcmp(value->name, name) == 0;
}

}  // namespace

NCMRetCode Behaviour<tags::NCM_GetDlgSrvStateEx>::Run(NCM_DLGSRV_STATE* state) {
    if (state == nullptr)
        return NCM_GENERAL;
    *state = Machine::Get().service_state();
    return NCM_SUCCESS;
}

NCMRetCode Behaviour<tags::NCM_GetTDMBusValue>::Run(NCMVALUE* bus, NCMVALUE* parameter,
                                                    NCMVALUE** value) {
    if (value == nullptr || !Names(bus, NCM_BUS_0))
        return NCM_NOT_FOUND;
    const BoardConfig& config = Machine::Get().config();
    if (Names(parameter, NCM_TDM_BUS_TYPE)) {
        *value = MakeList({config.tdm_bus_type});
    } else if (Names(parameter, NCM_MEDIA_TYPE)) {
        *value = MakeList({config.media_type});
    } else {
        return NCM_NOT_FOUND;
    }
    return NCM_SUCCESS;
}

NCMRetCode Behaviour<tags::NCM_Dealloc>::Run(NCMVALUE* list) {
    while (list != nullptr) {
        NCMVALUE* next = list->next;
        std::free(list->name);
        std::free(list);
        list = next;
    }
    return NCM_SUCCESS;
}

NCMRetCode Behaviour<tags::NCM_StartDlgSrv>::Run() {
    Machine::Get().set_service_state(NCM_DLGSRV_RUNNING);
    return NCM_SUCCESS;
}

NCMRetCode Behaviour<tags::NCM_GetInstalledFamilies>::Run(NCMFamily** families) {
    if (families == nullptr)
        return NCM_GENERAL;
    std::vector<std::string> names;
    for (const auto& [family, devices] : Machine::Get().config().InstalledFamilies())
        names.push_back(family);
    *families = MakeList(names);
    return NCM_SUCCESS;
}

NCMRetCode Behaviour<tags::NCM_GetInstalledDevices>::Run(NCMFamily* family, NCMDevice** devices) {
    if (devices == nullptr || family == nullptr || family->name == nullptr)
        return NCM_GENERAL;
    for (const auto& [name, names] : Machine::Get().config().InstalledFamilies()) {
        if (name == family->name) {
            *devices = MakeList(names);
            return NCM_SUCCESS;
        }
    }
    return NCM_NOT_FOUND;
}

// The caller's buffer is the node's 128 bytes.
NCMRetCode Behaviour<tags::NCM_GetDefaultIPAddress>::Run(NCMFamily* /*family*/, NCMVALUE* /*model*/,
                                                         NCMDevice* /*device*/, char* address) {
    if (address == nullptr)
        return NCM_GENERAL;
    const std::string& ip = Machine::Get().config().default_ip;
    const size_t length = std::min<size_t>(ip.size(), 127);
    std::memcpy(address, ip.data(), length);
    address[length] = '\0';
    return NCM_SUCCESS;
}

}  // namespace ruzd::boardsim
