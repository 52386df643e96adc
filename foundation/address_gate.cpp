#include "foundation/address_gate.h"

#include <algorithm>

namespace ruzd::foundation {
namespace {

bool IsSeparator(char c) {
    return c == ',' || c == ';' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A decimal number of 1 to 3 digits up to `limit`.
bool ParseSmallNumber(std::string_view text, uint32_t limit, uint32_t* value) {
    if (text.empty() || text.size() > 3) {
        return false;
    }
    uint32_t number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        number = number * 10 + static_cast<uint32_t>(c - '0');
    }
    if (number > limit) {
        return false;
    }
    *value = number;
    return true;
}

}  // namespace

bool AddressGate::ParseDotted(std::string_view text, uint32_t* address) {
    uint32_t result = 0;
    for (int part = 0; part < 4; ++part) {
        const size_t dot = part < 3 ? text.find('.') : text.size();
        uint32_t value = 0;
        if (dot == std::string_view::npos || !ParseSmallNumber(text.substr(0, dot), 255, &value)) {
            return false;
        }
        result = (result << 8) | value;
        text.remove_prefix(part < 3 ? dot + 1 : dot);
    }
    *address = result;
    return true;
}

AddressGate::AddressGate(std::string_view list) {
    while (!list.empty()) {
        const auto start = std::find_if_not(list.begin(), list.end(), IsSeparator);
        list.remove_prefix(static_cast<size_t>(start - list.begin()));
        if (list.empty()) {
            break;
        }
        const auto end = std::find_if(list.begin(), list.end(), IsSeparator);
        const std::string_view entry = list.substr(0, static_cast<size_t>(end - list.begin()));
        list.remove_prefix(entry.size());
        open_ = false;

        const size_t slash = entry.find('/');
        uint32_t address = 0;
        uint32_t bits = 32;
        if (!ParseDotted(entry.substr(0, slash), &address) ||
            (slash != std::string_view::npos &&
             !ParseSmallNumber(entry.substr(slash + 1), 32, &bits))) {
            bad_entries_.emplace_back(entry);
            continue;
        }
        const uint32_t mask = bits == 0 ? 0 : ~uint32_t{0} << (32 - bits);
        ranges_.push_back(Range{address & mask, mask});
    }
}

bool AddressGate::Admits(uint32_t address) const {
    return open_ || std::any_of(ranges_.begin(), ranges_.end(), [address](const Range& range) {
               return (address & range.mask) == range.network;
           });
}

bool AddressGate::ShouldLogRefusal(uint32_t address, uint64_t now_ms) {
    std::lock_guard guard(lock_);
    const auto found = last_logged_.find(address);
    if (found != last_logged_.end()) {
        if (now_ms - found->second < kRefusalLogIntervalMs) {
            return false;
        }
        found->second = now_ms;
        return true;
    }
    if (last_logged_.size() >= kRememberedRefusals) {
        std::erase_if(last_logged_, [now_ms](const auto& entry) {
            return now_ms - entry.second >= kRefusalLogIntervalMs;
        });
        if (last_logged_.size() >= kRememberedRefusals) {
            // All logged within the minute: forgetting them costs at most one line each.
            last_logged_.clear();
        }
    }
    last_logged_.emplace(address, now_ms);
    return true;
}

}  // namespace ruzd::foundation
