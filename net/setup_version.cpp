#include "net/setup_version.h"

#include <cstdint>
#include <vector>

#include "foundation/static_tools.h"

namespace ruzd::net {

bool IsOfferedSetupNewer(std::string_view installed, std::string_view offered) {
    if (offered.empty() || offered == installed) {
        return false;
    }
    std::vector<uint32_t> installedParts;
    std::vector<uint32_t> offeredParts;
    foundation::CStaticTools::SplitToDWordArray(installed, '.', installedParts);
    foundation::CStaticTools::SplitToDWordArray(offered, '.', offeredParts);
    if (installedParts.size() != offeredParts.size()) {
        return false;
    }
    for (size_t i = 0; i < offeredParts.size(); ++i) {
        if (offeredParts[i] != installedParts[i]) {
            return offeredParts[i] > installedParts[i];
        }
    }
    return false;
}

}  // namespace ruzd::net
