#include "boardsim/core/ip_service_commands.h"

#include <cstdint>

#include "boardsim/core/machine.h"

namespace ruzd::boardsim {

std::optional<std::string> QueryIpServices(Machine& machine, const std::vector<Word>& words) {
    if (words.size() != 3)
        return std::nullopt;
    const std::string& what = words[1].text;
    if (what == "request") {
        const std::optional<int64_t> id = Number(words[2].text);
        if (!id || *id <= 0 || *id > UINT32_MAX)
            return Err("bad request id");
        const std::optional<ServiceRequest> request =
            machine.ip_services().Find(static_cast<uint32_t>(*id));
        if (!request)
            return Err("no request " + words[2].text);
        return Ok(DescribeRequest(*request));
    }
    if (what == "auth") {
        const int32_t line = DeviceHandle(machine, words[2].text);
        if (line < 0)
            return Err("no open device " + words[2].text);
        const std::optional<SipAuthentication> auth = machine.ip_services().AuthenticationOf(line);
        if (!auth)
            return Err("no authentication on " + words[2].text);
        return Ok("realm=" + auth->realm + " identity=" + auth->identity +
                  " user=" + auth->username + " password=" + auth->password);
    }
    return std::nullopt;
}

}  // namespace ruzd::boardsim
