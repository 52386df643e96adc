#pragma once

// The results of the simulated functions: how often each was called, the configured result
// of those without behaviour of their own, and results forced by the control socket, which
// win over everything for as many calls as asked.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace ruzd::boardsim {

class ResultTable {
public:
    explicit ResultTable(const std::map<std::string, int64_t>& configured);

    // The configured result, else the built-in one (a voice channel reports itself idle),
    // else 0.
    int64_t Default(const std::string& function) const;

    // times < 0 forces every call until Restore; the first `after` calls from now on keep
    // their own results.
    void Force(const std::string& function, int64_t result, int64_t times, int64_t after = 0);
    void Restore(const std::string& function);
    // Counts the call and takes one forced result, if any is left.
    std::optional<int64_t> BeginCall(const std::string& function);

    int64_t Calls(const std::string& function) const;

private:
    struct Forced {
        int64_t result;
        int64_t times;
        int64_t after;
    };
    mutable std::mutex mutex_;
    std::map<std::string, int64_t> defaults_;
    std::map<std::string, Forced> forced_;
    std::map<std::string, int64_t> calls_;
};

}  // namespace ruzd::boardsim
