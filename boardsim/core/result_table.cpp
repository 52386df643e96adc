#include "boardsim/core/result_table.h"

namespace ruzd::boardsim {

ResultTable::ResultTable(const std::map<std::string, int64_t>& configured)
    : defaults_{{"ATDX_STATE", 1}} {
    for (const auto& [function, result] : configured)
        defaults_[function] = result;
}

int64_t ResultTable::Default(const std::string& function) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = defaults_.find(function);
    return it == defaults_.end() ? 0 : it->second;
}

void ResultTable::Force(const std::string& function, int64_t result, int64_t times, int64_t after) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (times == 0) {
        forced_.erase(function);
    } else {
        forced_[function] = {result, times, after};
    }
}

void ResultTable::Restore(const std::string& function) {
    std::lock_guard<std::mutex> lock(mutex_);
    forced_.erase(function);
}

std::optional<int64_t> ResultTable::BeginCall(const std::string& function) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++calls_[function];
    const auto it = forced_.find(function);
    if (it == forced_.end())
        return std::nullopt;
    if (it->second.after > 0) {
        --it->second.after;
        return std::nullopt;
    }
    const int64_t result = it->second.result;
    if (it->second.times > 0 && --it->second.times == 0)
        forced_.erase(it);
    return result;
}

int64_t ResultTable::Calls(const std::string& function) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = calls_.find(function);
    return it == calls_.end() ? 0 : it->second;
}

}  // namespace ruzd::boardsim
