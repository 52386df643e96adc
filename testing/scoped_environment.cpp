#include "testing/scoped_environment.h"

#include <cstdlib>

namespace ruzd::testing {

ScopedEnvironment::~ScopedEnvironment() {
    for (const auto& [name, value] : saved_) {
        if (value) {
            ::setenv(name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }
}

void ScopedEnvironment::Set(const std::string& name, const std::string& value) {
    Remember(name);
    ::setenv(name.c_str(), value.c_str(), 1);
}

void ScopedEnvironment::Unset(const std::string& name) {
    Remember(name);
    ::unsetenv(name.c_str());
}

void ScopedEnvironment::Remember(const std::string& name) {
    for (const auto& saved : saved_) {
        if (saved.first == name) {
            return;
        }
    }
    const char* value = std::getenv(name.c_str());
    saved_.emplace_back(name, value != nullptr ? std::optional<std::string>(value) : std::nullopt);
}

}  // namespace ruzd::testing
