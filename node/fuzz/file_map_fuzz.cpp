// Fuzz entry over the file-map loader: the text of FILEMAP.TXT as a user may have written it,
// loaded from a file on disk, then every line of it mapped as a path.
//
// Checked besides memory safety: the entries are upper-cased and within the longest prefix; a
// central prefix maps through the first (shortest) prefix it starts with, keeping the rest; a
// path no prefix matches comes back upper-cased.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "node/file_map.h"
#include "platform/text.h"
#include "testing/fuzz_check.h"
#include "testing/temp_root.h"

namespace {

const std::filesystem::path& MapFile() {
    static const ruzd::testing::TempDir folder;
    static const std::filesystem::path file = folder.path() / "FILEMAP.TXT";
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(MapFile(), std::ios::binary | std::ios::trunc);
        out << text;
    }
    ruzd::node::FileMap map;
    map.Load(MapFile(), 1);
    const std::map<std::string, std::string> entries = map.Entries();
    for (const auto& [central, local] : entries) {
        FUZZ_CHECK(!central.empty() && central.size() <= ruzd::node::FileMap::kMaxPrefixLength);
        FUZZ_CHECK(local.size() <= ruzd::node::FileMap::kMaxPrefixLength);
        FUZZ_CHECK(ruzd::platform::AsciiUpper(central) == central);
        std::string path = central;
        FUZZ_CHECK(map.Map(path, 1));
        // The shortest matching prefix wins, which for a central prefix may be a shorter one.
        for (const auto& [prefix, target] : entries) {
            if (central.starts_with(prefix)) {
                FUZZ_CHECK(path == target + central.substr(prefix.size()));
                break;
            }
        }
    }
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string path = text.substr(start, end - start);
        const std::string original = ruzd::platform::AsciiUpper(path);
        if (!map.Map(path, 1)) {
            FUZZ_CHECK(path == original);
        }
        map.Reverse(path);
        start = end + 1;
    }
    return 0;
}
