#pragma once

// The string table of the programs, as their resources hold it on Windows: each program registers
// its texts under their numbers at start-up, and the helpers that format a resource find them
// here. One table per process.

#include <cstdint>
#include <optional>
#include <string>

namespace ruzd::foundation {

class ResourceStrings {
public:
    ResourceStrings() = delete;

    // Adds the text, or replaces the one registered under the number before.
    static void Register(uint32_t id, std::string text);
    static void Unregister(uint32_t id);
    // The text registered under the number; none when there is none.
    static std::optional<std::string> Find(uint32_t id);
};

}  // namespace ruzd::foundation
