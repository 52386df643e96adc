#include "platform/syslog_sender.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/process_identity.h"
#include "platform/running_program.h"
#include "platform/service_dispatcher.h"
#include "platform/text.h"

namespace ruzd::platform {
namespace {

constexpr uint32_t kFacilityUser = 1 << 3;
constexpr const char* kDefaultSocket = "/dev/log";

// The local time as syslog writes it; the month names are syslog's, whatever the locale.
std::string Timestamp() {
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return Format("%s %2d %02d:%02d:%02d", kMonths[local.tm_mon % 12], local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec);
}

constexpr size_t kMaxIdentLength = 32;

}  // namespace

std::string SyslogIdentOf(std::string_view text) {
    std::string ident;
    for (const char c : text.substr(0, kMaxIdentLength)) {
        const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '_' || c == '.' || c == '-';
        ident += kept ? c : '_';
    }
    return ident.empty() ? std::string("ruzd") : ident;
}

std::string ProgramSyslogIdent() {
    const char* service = std::getenv(kServiceNameVariable);
    return SyslogIdentOf(service != nullptr && *service != '\0' ? std::string(service)
                                                                : RunningProgramBaseName());
}

std::string SyslogDatagram(SyslogSeverity severity, std::string_view timestamp,
                           std::string_view ident, uint32_t pid, std::string_view message) {
    return Format("<%u>", kFacilityUser | static_cast<uint32_t>(severity)) +
           std::string(timestamp) + " " + std::string(ident) + "[" + std::to_string(pid) +
           "]: " + std::string(message);
}

void SendToSyslog(SyslogSeverity severity, std::string_view ident, std::string_view message) {
    const char* configured = std::getenv(kSyslogSocketVariable);
    const std::string path =
        configured != nullptr && *configured != '\0' ? configured : kDefaultSocket;
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) {
        return;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return;
    }
    const std::string datagram =
        SyslogDatagram(severity, Timestamp(), ident, CurrentProcessId(), message);
    ssize_t sent = -1;
    do {
        sent = ::sendto(fd, datagram.data(), datagram.size(), MSG_NOSIGNAL | MSG_DONTWAIT,
                        reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (sent < 0 && errno == EINTR);
    ::close(fd);
}

}  // namespace ruzd::platform
