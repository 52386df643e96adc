#pragma once

// Environment variables changed for the lifetime of an object: each one is put back as it was,
// or removed again, when the object goes.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ruzd::testing {

class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    void Set(const std::string& name, const std::string& value);
    void Unset(const std::string& name);

private:
    // Keeps the value a variable had before its first change.
    void Remember(const std::string& name);

    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace ruzd::testing
