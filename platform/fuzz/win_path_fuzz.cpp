// Fuzz entry over the mapping of Windows paths to host paths, inside a platform root of its own.
//
// Input: one control byte, then the Windows path. Bits 0-1 of the control byte pick the working
// folder: on drive C, on drive D, or outside the drives (two of them).
//
// Checked besides memory safety: a mapped path stays on its drive or share, or below the working
// folder when that lies outside the drives; a path mapped within a base stays below the base;
// the name and folder helpers agree with each other and case folding is idempotent.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/win_path.h"
#include "testing/fuzz_check.h"
#include "testing/temp_root.h"

namespace {

namespace fs = std::filesystem;

// Whether `path` is `folder` or below it, by the text of both (no link is followed).
bool IsWithin(const fs::path& path, const fs::path& folder) {
    const fs::path relative = path.lexically_normal().lexically_relative(folder.lexically_normal());
    return !relative.empty() && *relative.begin() != "..";
}

// The count of components of `path` below `folder`.
size_t DepthBelow(const fs::path& path, const fs::path& folder) {
    size_t depth = 0;
    for (const fs::path& component : path.lexically_normal().lexically_relative(folder)) {
        if (component != ".") {
            ++depth;
        }
    }
    return depth;
}

struct Places {
    ruzd::testing::TempRoot root;
    fs::path drives = root.path() / "drives";
    fs::path unc = root.path() / "unc";
    fs::path working[4] = {drives / "c" / "Work" / "Here", drives / "d" / "Vox",
                           root.path() / "outside" / "node", root.path() / "outside"};
    fs::path cache = root.path() / "outside" / "node" / "FileCache";

    Places() {
        for (const fs::path& folder : working) {
            fs::create_directories(folder);
        }
        fs::create_directories(cache / "Sub");
        fs::create_directories(drives / "c" / "VOX" / "nl");
    }
};

Places& ThePlaces() {
    static Places places;
    return places;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    Places& places = ThePlaces();
    const fs::path& working = places.working[data[0] & 3];
    fs::current_path(working);
    const std::string_view path(reinterpret_cast<const char*>(data + 1), size - 1);

    const fs::path mapped = ruzd::platform::MapWindowsPath(path);
    if (!mapped.empty()) {
        const bool onDrive =
            IsWithin(mapped, places.drives) && DepthBelow(mapped, places.drives) >= 1;
        const bool onShare = IsWithin(mapped, places.unc) && DepthBelow(mapped, places.unc) >= 2;
        const bool belowWorking = !IsWithin(working, places.drives) && IsWithin(mapped, working);
        FUZZ_CHECK(onDrive || onShare || belowWorking);
    }

    if (const std::optional<fs::path> within =
            ruzd::platform::MapWindowsPathWithin(places.cache, path)) {
        FUZZ_CHECK(IsWithin(*within, places.cache));
    }

    const std::string name = ruzd::platform::WindowsFileName(path);
    const std::string folder = ruzd::platform::WindowsFolder(path);
    FUZZ_CHECK(name.size() <= path.size() && folder.size() <= path.size());
    FUZZ_CHECK(name.find('\\') == std::string::npos && name.find('/') == std::string::npos);
    if (!name.empty()) {
        const std::string joined = ruzd::platform::JoinWindowsPath(folder, name);
        FUZZ_CHECK(ruzd::platform::WindowsFileName(joined) == name);
    }

    const std::string folded = ruzd::platform::FoldWindowsNameCase(path);
    FUZZ_CHECK(ruzd::platform::FoldWindowsNameCase(folded) == folded);
    return 0;
}
