#include "net/station_name.h"

#include <unistd.h>

#include "platform/text.h"

namespace ruzd::net {
namespace {

constexpr size_t kMaxComputerNameLength = 15;

}  // namespace

std::optional<std::string> GetStationName() {
    char host[256] = {};
    if (gethostname(host, sizeof(host) - 1) != 0 || host[0] == '\0') {
        return std::nullopt;
    }
    std::string computer(host);
    computer = computer.substr(0, computer.find('.'));
    if (computer.size() > kMaxComputerNameLength) {
        computer.resize(kMaxComputerNameLength);
    }
    const std::string domain;
    return domain + "\\" + platform::AsciiUpper(computer);
}

}  // namespace ruzd::net
