#include "telephony/hmp_release.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace ruzd::telephony {
namespace {

constexpr std::string_view kFirstDeferringVersion = "3.0";
constexpr int64_t kFirstDeferringBuild = 357;

// The dotted numbers the text begins with ("3.0 SU" gives 3, 0); nullopt when it does not
// begin with a digit.
std::optional<std::vector<uint64_t>> LeadingNumbers(std::string_view text) {
    std::vector<uint64_t> numbers;
    const char* at = text.data();
    const char* const end = at + text.size();
    while (at != end && std::isdigit(static_cast<unsigned char>(*at))) {
        uint64_t number = 0;
        const auto [next, ec] = std::from_chars(at, end, number);
        if (ec != std::errc())
            return std::nullopt;  // a number too long for any release
        numbers.push_back(number);
        at = next;
        if (at == end || *at != '.')
            break;
        ++at;
    }
    if (numbers.empty())
        return std::nullopt;
    return numbers;
}

// <0, 0 or >0 as the version is before, the same as or after the other.
int CompareVersions(std::string_view version, std::string_view other) {
    const auto numbers = LeadingNumbers(version);
    const auto other_numbers = LeadingNumbers(other);
    if (!numbers || !other_numbers) {
        const int order = version.compare(other);
        return order < 0 ? -1 : (order > 0 ? 1 : 0);
    }
    const size_t count = std::max(numbers->size(), other_numbers->size());
    for (size_t i = 0; i < count; ++i) {
        const uint64_t a = i < numbers->size() ? (*numbers)[i] : 0;
        const uint64_t b = i < other_numbers->size() ? (*other_numbers)[i] : 0;
        if (a != b)
            return a < b ? -1 : 1;
    }
    return 0;
}

// The build number as a decimal integer: leading blanks and a sign allowed, anything after
// the digits ignored, 0 when there are none.
int64_t BuildNumber(std::string_view text) {
    size_t start = 0;
    while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start])))
        ++start;
    text.remove_prefix(start);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    int64_t number = 0;
    const auto [next, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    return ec == std::errc() ? number : 0;
}

}  // namespace

bool DefersPendingReinvite(const foundation::DialogicVersion& release) {
    const int order = CompareVersions(release.version, kFirstDeferringVersion);
    if (order != 0)
        return order > 0;
    return BuildNumber(release.build) >= kFirstDeferringBuild;
}

}  // namespace ruzd::telephony
