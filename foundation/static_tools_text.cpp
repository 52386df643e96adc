// CStaticTools: version comparison, edit distance, file names, passwords and other small text
// helpers.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "foundation/crc32.h"
#include "foundation/static_tools.h"
#include "platform/text.h"
#include "platform/win_path.h"

namespace ruzd::foundation {
namespace {

constexpr std::string_view kFileNameForbidden = "\\/:*?\"<>|;";
constexpr std::string_view kMask = "*****";

bool IsNumberCharacter(char c) {
    return (c >= '0' && c <= '9') || c == ',' || c == '.';
}

// The next number of ParseNumberRange from `pos` on: its start (with the sign that belongs to
// it) and end; none when there is no further one.
std::optional<std::pair<size_t, size_t>> NextNumberRun(std::string_view text, size_t pos) {
    const size_t start =
        std::find_if(text.begin() + static_cast<ptrdiff_t>(pos), text.end(), IsNumberCharacter) -
        text.begin();
    if (start == text.size()) {
        return std::nullopt;
    }
    size_t end = start;
    while (end < text.size() && IsNumberCharacter(text[end])) {
        ++end;
    }
    // A sign belongs to the number unless it only separates it from the one before ("10-20").
    size_t first = start;
    if (start > pos && (text[start - 1] == '-' || text[start - 1] == '+') &&
        !(start - 1 > 0 && IsNumberCharacter(text[start - 2]))) {
        first = start - 1;
    }
    return std::make_pair(first, end);
}

// A double's bits on one ordered scale of integers: negative values below positive ones, -0
// and +0 together, neighbours one apart.
uint64_t OrderedBits(double value) {
    const auto bits = std::bit_cast<uint64_t>(value);
    constexpr uint64_t kSign = uint64_t{1} << 63;
    return (bits & kSign) != 0 ? ~bits + 1 : bits | kSign;
}

}  // namespace

int CStaticTools::CompareVersions(std::string_view a, std::string_view b, bool ignoreLast) {
    std::vector<uint32_t> parts_a;
    std::vector<uint32_t> parts_b;
    SplitToDWordArray(a, '.', parts_a);
    SplitToDWordArray(b, '.', parts_b);
    const auto count_a = static_cast<int64_t>(parts_a.size());
    const auto count_b = static_cast<int64_t>(parts_b.size());
    int64_t count = 0;
    if (count_a == count_b) {
        count = ignoreLast ? count_a - 1 : count_a;
    } else if (ignoreLast && std::abs(count_a - count_b) == 1) {
        count = std::min(count_a, count_b);
    } else {
        return -2;
    }
    for (int64_t i = 0; i < count; ++i) {
        if (parts_a[i] != parts_b[i]) {
            return parts_a[i] < parts_b[i] ? 1 : -1;
        }
    }
    return 0;
}

int CStaticTools::DamerauLevenshtein(std::string_view a, std::string_view b) {
    const std::u32string s = platform::Utf8ToCodePoints(a);
    const std::u32string t = platform::Utf8ToCodePoints(b);
    const size_t n = s.size();
    const size_t m = t.size();
    if (n == 0 || m == 0) {
        return static_cast<int>(n + m);
    }
    // Lowrance-Wagner: a distance matrix with a border of the largest distance, and the last
    // row at which each character of `s` was seen (0: not yet).
    const size_t most = n + m;
    std::vector<size_t> d((n + 2) * (m + 2), most);
    const auto at = [&d, m](size_t i, size_t j) -> size_t& { return d[i * (m + 2) + j]; };
    for (size_t i = 0; i <= n; ++i) {
        at(i + 1, 1) = i;
    }
    for (size_t j = 0; j <= m; ++j) {
        at(1, j + 1) = j;
    }
    std::unordered_map<char32_t, size_t> last_row;
    for (size_t i = 1; i <= n; ++i) {
        size_t last_match_column = 0;
        for (size_t j = 1; j <= m; ++j) {
            const auto seen = last_row.find(t[j - 1]);
            const size_t i1 = seen == last_row.end() ? 0 : seen->second;
            const size_t j1 = last_match_column;
            const size_t cost = s[i - 1] == t[j - 1] ? 0 : 1;
            if (cost == 0) {
                last_match_column = j;
            }
            at(i + 1, j + 1) = std::min({at(i, j) + cost, at(i + 1, j) + 1, at(i, j + 1) + 1,
                                         at(i1, j1) + (i - i1 - 1) + 1 + (j - j1 - 1)});
        }
        last_row[s[i - 1]] = i;
    }
    return static_cast<int>(at(n + 1, m + 1));
}

void CStaticTools::MakeValidFileName(std::string& name) {
    std::erase_if(name,
                  [](char c) { return kFileNameForbidden.find(c) != std::string_view::npos; });
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
        name.pop_back();
    }
}

std::string CStaticTools::ValidFileName(std::string_view name) {
    std::string copy(name);
    MakeValidFileName(copy);
    return copy;
}

std::string CStaticTools::MaskPassword(std::string_view text) {
    std::string masked(text);
    const size_t key = masked.find("PWD=");
    if (key == std::string::npos) {
        return masked;
    }
    const size_t value = key + 4;
    const size_t end = masked.find(';', value);
    masked.replace(value, (end == std::string::npos ? masked.size() : end) - value, kMask);
    return masked;
}

void CStaticTools::RemoveChar(std::string& text, char c) {
    std::erase(text, c);
}

int CStaticTools::FindNoCase(std::string_view text, std::string_view pattern) {
    if (pattern.empty()) {
        return -1;
    }
    // The folding keeps every character's length, so positions stay those of the text.
    const size_t found =
        platform::FoldWindowsNameCase(text).find(platform::FoldWindowsNameCase(pattern));
    return found == std::string::npos ? -1 : static_cast<int>(found);
}

void CStaticTools::ReplaceNoCase(std::string& text, std::string_view pattern,
                                 std::string_view replacement) {
    if (pattern.empty()) {
        return;
    }
    const std::string folded_text = platform::FoldWindowsNameCase(text);
    const std::string folded_pattern = platform::FoldWindowsNameCase(pattern);
    std::string result;
    size_t from = 0;
    for (size_t found = folded_text.find(folded_pattern); found != std::string::npos;
         found = folded_text.find(folded_pattern, from)) {
        result.append(text, from, found - from);
        result += replacement;
        from = found + folded_pattern.size();
    }
    result.append(text, from);
    text = std::move(result);
}

bool CStaticTools::AlmostEqual(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) {
        return false;
    }
    const uint64_t x = OrderedBits(a);
    const uint64_t y = OrderedBits(b);
    return (x > y ? x - y : y - x) < 5;
}

bool CStaticTools::ParseNumberRange(std::string_view text, double* low, double* high) {
    if (text.empty() || low == nullptr || high == nullptr) {
        return false;
    }
    const auto first = NextNumberRun(text, 0);
    if (!first ||
        !StrToDouble(text.substr(first->first, first->second - first->first), low, false)) {
        return false;
    }
    const auto second = NextNumberRun(text, first->second);
    if (!second ||
        !StrToDouble(text.substr(second->first, second->second - second->first), high, false)) {
        *high = *low;
    }
    return true;
}

bool CStaticTools::GetTextBeforeLastDot(std::string_view text, std::string& result) {
    const size_t dot = text.rfind('.');
    result = dot == std::string_view::npos ? std::string() : std::string(text.substr(0, dot));
    return !result.empty();
}

std::string CStaticTools::DecodeCharacterReferences(std::string_view text) {
    std::string decoded;
    size_t pos = 0;
    while (pos < text.size()) {
        if (text.substr(pos, 2) == "&#") {
            size_t end = pos + 2;
            uint64_t code = 0;
            while (end < text.size() && text[end] >= '0' && text[end] <= '9' && code <= 0x10FFFF) {
                code = code * 10 + static_cast<uint64_t>(text[end] - '0');
                ++end;
            }
            const bool character = end > pos + 2 && end < text.size() && text[end] == ';' &&
                                   code > 0 && code <= 0x10FFFF &&
                                   !(code >= 0xD800 && code <= 0xDFFF);
            if (character) {
                platform::AppendUtf8(decoded, static_cast<char32_t>(code));
                pos = end + 1;
                continue;
            }
        }
        decoded += text[pos++];
    }
    return decoded;
}

uint32_t CStaticTools::HexToNumber(std::string_view text) {
    text = platform::Trim(text);
    uint32_t value = 0;
    uint32_t weight = 1;
    for (auto c = text.rbegin(); c != text.rend(); ++c) {
        value += static_cast<uint32_t>(std::max(platform::HexDigitValue(*c), 0)) * weight;
        weight *= 16;
    }
    return value;
}

uint32_t CStaticTools::CrcOfText(const void* data, size_t size) {
    return GetBufferCrc32(data, size);
}

}  // namespace ruzd::foundation
