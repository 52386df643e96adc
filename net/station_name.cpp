#include "net/station_name.h"

#include "platform/computer_name.h"

namespace ruzd::net {

std::optional<std::string> GetStationName() {
    const std::optional<std::string> computer = platform::ComputerName();
    if (!computer) {
        return std::nullopt;
    }
    // Outside a domain the domain part stays empty.
    const std::string domain;
    return domain + "\\" + *computer;
}

}  // namespace ruzd::net
