#include "foundation/address_list.h"

namespace ruzd::foundation {
namespace {

constexpr std::string_view kSeparators = ",; \t";

// A decimal number of at most `max_digits` digits and at most `max`; none otherwise.
std::optional<uint32_t> SmallNumber(std::string_view text, size_t max_digits, uint32_t max) {
    if (text.empty() || text.size() > max_digits) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value > max) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<uint32_t> ParseDottedIpv4(std::string_view text) {
    uint32_t address = 0;
    for (int part = 0; part < 4; ++part) {
        const size_t dot = part < 3 ? text.find('.') : text.size();
        if (dot == std::string_view::npos) {
            return std::nullopt;
        }
        const std::optional<uint32_t> number = SmallNumber(text.substr(0, dot), 3, 255);
        if (!number) {
            return std::nullopt;
        }
        address = (address << 8) | *number;
        text.remove_prefix(part < 3 ? dot + 1 : dot);
    }
    return address;
}

std::optional<AddressList> AddressList::Parse(std::string_view text, std::string* bad_entry) {
    AddressList list;
    while (!text.empty()) {
        const size_t start = text.find_first_not_of(kSeparators);
        if (start == std::string_view::npos) {
            break;
        }
        text.remove_prefix(start);
        const std::string_view entry = text.substr(0, text.find_first_of(kSeparators));
        text.remove_prefix(entry.size());

        const size_t slash = entry.find('/');
        const std::optional<uint32_t> address = ParseDottedIpv4(entry.substr(0, slash));
        const std::optional<uint32_t> bits =
            slash == std::string_view::npos ? 32u : SmallNumber(entry.substr(slash + 1), 2, 32);
        if (!address || !bits) {
            if (bad_entry != nullptr) {
                *bad_entry = std::string(entry);
            }
            return std::nullopt;
        }
        // A shift by 32 would be undefined: /0 is every address.
        const uint32_t mask = *bits == 0 ? 0 : ~uint32_t{0} << (32 - *bits);
        list.ranges_.push_back(Range{*address & mask, mask});
    }
    return list;
}

bool AddressList::Allows(std::string_view address) const {
    if (ranges_.empty()) {
        return true;
    }
    const std::optional<uint32_t> parsed = ParseDottedIpv4(address);
    if (!parsed) {
        return false;
    }
    for (const Range& range : ranges_) {
        if ((*parsed & range.mask) == range.network) {
            return true;
        }
    }
    return false;
}

}  // namespace ruzd::foundation
