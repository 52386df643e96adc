#include "foundation/process_user.h"

#include <optional>

#include "platform/computer_name.h"
#include "platform/process_identity.h"

namespace ruzd::foundation {

bool GetProcessUserName(uint32_t process_id, std::string& user, std::string& domain) {
    std::optional<std::string> name = platform::ProcessUserName(process_id);
    // Windows names the domain of a local account after the machine.
    std::optional<std::string> machine = platform::ComputerName();
    if (!name || !machine) {
        return false;
    }
    user = std::move(*name);
    domain = std::move(*machine);
    return true;
}

}  // namespace ruzd::foundation
