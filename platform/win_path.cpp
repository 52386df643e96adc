#include "platform/win_path.h"

#include <system_error>
#include <vector>

#include "platform/root.h"
#include "platform/text.h"

namespace ruzd::platform {
namespace fs = std::filesystem;

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char AsciiLowerChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool HasDrive(std::string_view path) {
    return path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':';
}

std::vector<std::string> SplitComponents(std::string_view path) {
    std::vector<std::string> components;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !IsSeparator(path[end])) {
            ++end;
        }
        if (end > start) {
            components.emplace_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return components;
}

// Appends `components` to `parts`, applying "." and ".." to the text; ".." never removes one of
// the first `floor` parts, as Windows never climbs above a root.
void AppendNormalised(std::vector<std::string>& parts, size_t floor,
                      const std::vector<std::string>& components) {
    for (const std::string& component : components) {
        if (component == ".") {
            continue;
        }
        if (component == "..") {
            if (parts.size() > floor) {
                parts.pop_back();
            }
            continue;
        }
        parts.push_back(component);
    }
}

bool EntryExists(const fs::path& path) {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path, ignored));
}

// Descends from `start` through `parts`, taking each existing entry in whatever case it has.
fs::path Walk(fs::path current, const std::vector<std::string>& parts) {
    bool parent_exists = true;
    for (const std::string& part : parts) {
        if (parent_exists && !EntryExists(current / part)) {
            if (std::optional<std::string> found = FindNameIgnoringCase(current, part)) {
                current /= *found;
                continue;
            }
            parent_exists = false;
        }
        current /= part;
    }
    return current;
}

fs::path DriveFolder(char letter) {
    fs::path folder = RootSubdir("drives") / std::string(1, AsciiLowerChar(letter));
    std::error_code ignored;
    fs::create_directories(folder, ignored);
    return folder;
}

fs::path WorkingFolder() {
    std::error_code ignored;
    return fs::current_path(ignored).lexically_normal();
}

// The working folder's place on a drive: its letter and its components below the drive root;
// nullopt when the working folder lies outside <root>/drives.
struct DrivePlace {
    char letter;
    std::vector<std::string> components;
};

std::optional<DrivePlace> WorkingDrivePlace() {
    std::error_code ignored;
    const fs::path drives = fs::weakly_canonical(Root() / "drives", ignored);
    const fs::path working = fs::weakly_canonical(WorkingFolder(), ignored);
    const fs::path relative = working.lexically_relative(drives);
    if (relative.empty() || *relative.begin() == "..") {
        return std::nullopt;
    }
    auto it = relative.begin();
    const std::string letter = it->string();
    if (letter.size() != 1 || !IsAsciiLetter(letter[0])) {
        return std::nullopt;
    }
    DrivePlace place{letter[0], {}};
    for (++it; it != relative.end(); ++it) {
        if (!it->empty() && *it != ".") {
            place.components.push_back(it->string());
        }
    }
    return place;
}

fs::path MapOnDrive(char letter, std::string_view rest) {
    std::vector<std::string> parts;
    if (rest.empty() || !IsSeparator(rest[0])) {
        // Drive-relative: from the working folder when it is on this drive.
        const std::optional<DrivePlace> place = WorkingDrivePlace();
        if (place && AsciiLowerChar(place->letter) == AsciiLowerChar(letter)) {
            parts = place->components;
        }
    }
    AppendNormalised(parts, 0, SplitComponents(rest));
    return Walk(DriveFolder(letter), parts);
}

fs::path MapUnc(std::string_view after_slashes) {
    const std::vector<std::string> components = SplitComponents(after_slashes);
    if (components.size() < 2) {
        return {};
    }
    for (size_t i = 0; i < 2; ++i) {
        if (components[i] == "." || components[i] == "..") {
            return {};
        }
    }
    std::vector<std::string> parts(components.begin(), components.begin() + 2);
    AppendNormalised(parts, 2, std::vector<std::string>(components.begin() + 2, components.end()));
    return Walk(RootSubdir("unc"), parts);
}

// Case folding of one character for FoldWindowsNameCase: the code point of a Windows-1252
// letter in lower case gives its upper-case partner.
uint32_t UpperLatinLetter(uint32_t code_point) {
    if (code_point >= 0xE0 && code_point <= 0xFE && code_point != 0xF7) {
        return code_point - 0x20;
    }
    switch (code_point) {
        case 0xFF:
            return 0x178;  // y diaeresis
        case 0x153:
            return 0x152;  // oe
        case 0x161:
            return 0x160;  // s caron
        case 0x17E:
            return 0x17D;  // z caron
        default:
            return code_point;
    }
}

}  // namespace

fs::path MapWindowsPath(std::string_view path) {
    if (path.find('\0') != std::string_view::npos) {
        return {};
    }
    if (path.substr(0, 4) == "\\\\?\\") {
        path.remove_prefix(4);
        if (path.size() >= 4 && EqualsIgnoreCase(path.substr(0, 3), "UNC") &&
            IsSeparator(path[3])) {
            return MapUnc(path.substr(4));
        }
    }
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        if (path.size() >= 4 && (path[2] == '.' || path[2] == '?') && IsSeparator(path[3])) {
            return {};
        }
        return MapUnc(path.substr(2));
    }
    if (HasDrive(path)) {
        return MapOnDrive(path[0], path.substr(2));
    }
    if (!path.empty() && IsSeparator(path[0])) {
        const std::optional<DrivePlace> place = WorkingDrivePlace();
        return MapOnDrive(place ? place->letter : 'c', path);
    }
    // Relative: on a drive as Windows takes it, up to the drive's root at most; outside the
    // drives never above the working folder, so that no name climbs out into the host's tree.
    if (const std::optional<DrivePlace> place = WorkingDrivePlace()) {
        return MapOnDrive(place->letter, path);
    }
    std::vector<std::string> parts;
    for (const fs::path& component : WorkingFolder().relative_path()) {
        parts.push_back(component.string());
    }
    AppendNormalised(parts, parts.size(), SplitComponents(path));
    return Walk(WorkingFolder().root_path(), parts);
}

std::optional<std::string> WindowsPathOf(const fs::path& host) {
    std::error_code ignored;
    const fs::path resolved = fs::weakly_canonical(host, ignored);
    // The components of `resolved` below the root's folder `name`, when it lies there.
    const auto below =
        [&resolved](std::string_view name) -> std::optional<std::vector<std::string>> {
        std::error_code error;
        const fs::path folder = fs::weakly_canonical(Root() / name, error);
        const fs::path relative = resolved.lexically_relative(folder);
        if (error || relative.empty() || *relative.begin() == "..") {
            return std::nullopt;
        }
        std::vector<std::string> parts;
        for (const fs::path& part : relative) {
            if (!part.empty() && part != ".") {
                parts.push_back(part.string());
            }
        }
        return parts;
    };
    std::string windows;
    if (const auto drive = below("drives"); drive && !drive->empty() &&
                                            drive->front().size() == 1 &&
                                            IsAsciiLetter(drive->front()[0])) {
        windows = std::string(1, static_cast<char>(drive->front()[0] & ~0x20)) + ":\\";
        for (size_t i = 1; i < drive->size(); ++i) {
            windows = JoinWindowsPath(windows, (*drive)[i]);
        }
        return windows;
    }
    if (const auto share = below("unc"); share && share->size() >= 2) {
        windows = "\\\\" + (*share)[0] + "\\" + (*share)[1];
        for (size_t i = 2; i < share->size(); ++i) {
            windows = JoinWindowsPath(windows, (*share)[i]);
        }
        return windows;
    }
    return std::nullopt;
}

std::optional<fs::path> MapWindowsPathWithin(const fs::path& base, std::string_view path) {
    if (path.find('\0') != std::string_view::npos || path.find(':') != std::string_view::npos ||
        (!path.empty() && IsSeparator(path[0]))) {
        return std::nullopt;
    }
    std::vector<std::string> parts;
    for (std::string& component : SplitComponents(path)) {
        if (component == "..") {
            return std::nullopt;
        }
        if (component != ".") {
            parts.push_back(std::move(component));
        }
    }
    return Walk(base, parts);
}

std::string JoinWindowsPath(std::string_view folder, std::string_view name) {
    if (folder.empty()) {
        return std::string(name);
    }
    if (name.empty()) {
        return std::string(folder);
    }
    while (!folder.empty() && IsSeparator(folder.back())) {
        folder.remove_suffix(1);
    }
    while (!name.empty() && IsSeparator(name.front())) {
        name.remove_prefix(1);
    }
    std::string joined(folder);
    joined += '\\';
    joined += name;
    return joined;
}

std::string WindowsFileName(std::string_view path) {
    const size_t separator = path.find_last_of("\\/");
    if (separator != std::string_view::npos) {
        return std::string(path.substr(separator + 1));
    }
    return std::string(HasDrive(path) ? path.substr(2) : path);
}

std::string WindowsFolder(std::string_view path) {
    const size_t separator = path.find_last_of("\\/");
    if (separator == std::string_view::npos) {
        return HasDrive(path) ? std::string(path.substr(0, 2)) : std::string();
    }
    size_t end = separator;
    while (end > 0 && IsSeparator(path[end - 1])) {
        --end;
    }
    if (end == 0) {
        return std::string(path.substr(0, 1));  // "\"
    }
    if (end == 2 && HasDrive(path)) {
        return std::string(path.substr(0, 3));  // "X:\"
    }
    return std::string(path.substr(0, end));
}

std::string FoldWindowsNameCase(std::string_view name) {
    std::string folded;
    folded.reserve(name.size());
    for (size_t i = 0; i < name.size(); ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        if (byte >= 'a' && byte <= 'z') {
            folded += static_cast<char>(byte - 32);
            continue;
        }
        // The Windows-1252 letters all lie in U+00C0..U+017F: two-byte sequences led by 0xC3,
        // 0xC4 or 0xC5. Anything else, well-formed or not, is kept byte for byte.
        const bool two_byte_latin = (byte >= 0xC3 && byte <= 0xC5) && i + 1 < name.size() &&
                                    (static_cast<unsigned char>(name[i + 1]) & 0xC0) == 0x80;
        if (!two_byte_latin) {
            folded += static_cast<char>(byte);
            continue;
        }
        const uint32_t code_point = UpperLatinLetter(
            ((byte & 0x1Fu) << 6) | (static_cast<unsigned char>(name[i + 1]) & 0x3Fu));
        folded += static_cast<char>(0xC0 | (code_point >> 6));
        folded += static_cast<char>(0x80 | (code_point & 0x3F));
        ++i;
    }
    return folded;
}

std::optional<std::string> FindNameIgnoringCase(const fs::path& folder, std::string_view name) {
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error) {
        return std::nullopt;
    }
    const std::string wanted = FoldWindowsNameCase(name);
    std::optional<std::string> best;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error) {
            break;
        }
        std::string candidate = it->path().filename().string();
        if (candidate == name) {
            return candidate;
        }
        if ((!best || candidate < *best) && FoldWindowsNameCase(candidate) == wanted) {
            best = std::move(candidate);
        }
    }
    return best;
}

}  // namespace ruzd::platform
