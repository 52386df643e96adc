#include "platform/machine_zone.h"

#include <time.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>

namespace ruzd::platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kLocalTimeFile = "/etc/localtime";
constexpr const char* kTimeZoneFile = "/etc/timezone";
// Zone files are a few kilobytes; a larger file is not one.
constexpr std::streamsize kMaxZoneFileBytes = 1 << 20;

fs::path ZoneInfoFolder() {
    const char* dir = std::getenv("TZDIR");
    return dir != nullptr && *dir != '\0' ? fs::path(dir) : fs::path("/usr/share/zoneinfo");
}

std::optional<std::string> ReadSmallFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string bytes;
    bytes.resize(static_cast<size_t>(kMaxZoneFileBytes) + 1);
    in.read(bytes.data(), kMaxZoneFileBytes + 1);
    if (in.gcount() > kMaxZoneFileBytes) {
        return std::nullopt;
    }
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

// The footer of a zone file of version 2 or later: the POSIX rule between the last two line
// feeds. nullopt when the file is no zone file, "" when it has no footer.
std::optional<std::string> ZoneFileFooter(const fs::path& path) {
    const std::optional<std::string> bytes = ReadSmallFile(path);
    if (!bytes || bytes->size() < 5 || bytes->compare(0, 4, "TZif") != 0) {
        return std::nullopt;
    }
    if ((*bytes)[4] < '2' || bytes->back() != '\n') {
        return std::string();
    }
    const size_t opening = bytes->rfind('\n', bytes->size() - 2);
    if (opening == std::string::npos) {
        return std::string();
    }
    return bytes->substr(opening + 1, bytes->size() - opening - 2);
}

// The zone's id in a path below a zoneinfo folder, without the "posix/" or "right/" variants'
// folder; nullopt when the path is not below one.
std::optional<std::string> IdInZoneInfoPath(std::string_view path) {
    constexpr std::string_view kMarker = "zoneinfo/";
    const size_t at = path.rfind(kMarker);
    if (at == std::string_view::npos || (at != 0 && path[at - 1] != '/')) {
        return std::nullopt;
    }
    std::string_view id = path.substr(at + kMarker.size());
    for (std::string_view variant : {"posix/", "right/"}) {
        if (id.starts_with(variant)) {
            id.remove_prefix(variant.size());
        }
    }
    return id.empty() ? std::nullopt : std::optional<std::string>(id);
}

std::string FirstLine(const fs::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
        line.pop_back();
    }
    return line;
}

// TZ as the C library reads it: a zone file when one of that name exists, else a rule.
void ReadZoneOfVariable(std::string tz, MachineZone& zone) {
    if (tz.empty()) {
        tz = "Universal";  // what the C library takes for an empty TZ
    }
    if (tz.front() == ':') {
        tz.erase(0, 1);
    }
    const fs::path file = tz.front() == '/' ? fs::path(tz) : ZoneInfoFolder() / tz;
    const std::optional<std::string> footer = ZoneFileFooter(file);
    if (!footer) {
        zone.key_name = tz;
        zone.posix_rule = tz;
        return;
    }
    zone.key_name = tz.front() == '/' ? IdInZoneInfoPath(tz).value_or(tz) : tz;
    zone.posix_rule = *footer;
}

void ReadZoneOfSystem(MachineZone& zone) {
    std::error_code error;
    const fs::path target = fs::read_symlink(kLocalTimeFile, error);
    std::optional<std::string> id;
    if (!error) {
        id = IdInZoneInfoPath(target.string());
    }
    zone.key_name = id ? *id : FirstLine(kTimeZoneFile);
    zone.posix_rule = ZoneFileFooter(kLocalTimeFile).value_or(std::string());
}

}  // namespace

MachineZone ReadMachineZone() {
    MachineZone zone;
    if (const char* tz = std::getenv("TZ"); tz != nullptr) {
        ReadZoneOfVariable(tz, zone);
    } else {
        ReadZoneOfSystem(zone);
    }
    zone.standard_name = ::tzname[0] != nullptr ? ::tzname[0] : "";
    zone.daylight_name = ::tzname[1] != nullptr ? ::tzname[1] : "";
    return zone;
}

}  // namespace ruzd::platform
