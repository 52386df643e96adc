#pragma once

// The registry as it stands in memory: a tree of keys, each holding its values as a type and raw
// bytes (strings in UTF-16LE with their terminating null), exactly what a caller gets back from a
// query. Key and value names compare without regard to ASCII case and keep the spelling they were
// first created with.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ruzd::platform {

struct RegValue {
    std::string name;  // UTF-8; empty for the key's default value
    uint32_t type = 0;
    std::string data;
    // The line of the store file the value was read from (its first, for a value continued over
    // several); 0 for a value set since.
    size_t line = 0;
};

class RegNode {
public:
    explicit RegNode(std::string name) : name_(std::move(name)) {}
    RegNode(const RegNode&) = delete;
    RegNode& operator=(const RegNode&) = delete;

    const std::string& name() const { return name_; }
    // Values in the order they were first set, as Windows enumerates them.
    const std::vector<RegValue>& values() const { return values_; }
    // Sub-keys ordered by their upper-cased names, as Windows enumerates them.
    const std::vector<std::unique_ptr<RegNode>>& subkeys() const { return subkeys_; }

    RegNode* FindSubkey(std::string_view name) const;
    // The sub-key of that name, created when missing.
    RegNode* AddSubkey(std::string_view name);
    bool RemoveSubkey(std::string_view name);

    // Follows a path of sub-key names; null when any of them is missing.
    RegNode* Find(const std::vector<std::string>& path) const;

    const RegValue* FindValue(std::string_view name) const;
    // Replaces type and data of an existing value (keeping its spelling and place) or appends it,
    // with the file line it was read from (0: none).
    void SetValue(std::string_view name, uint32_t type, std::string data, size_t line = 0);
    bool RemoveValue(std::string_view name);

private:
    std::string name_;
    std::vector<RegValue> values_;
    std::vector<std::unique_ptr<RegNode>> subkeys_;
};

}  // namespace ruzd::platform
