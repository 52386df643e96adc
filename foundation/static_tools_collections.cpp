// CStaticTools: splitting texts into collections, joining collections into texts, and the
// size estimates of values.

#include <algorithm>

#include "foundation/static_tools.h"
#include "platform/text.h"

namespace ruzd::foundation {
namespace {

constexpr int32_t kUnparsedNumber = 2147483647;

// The elements each followed by the separator but the last (unless `trailing`).
template <typename Container, typename Write>
std::string Join(const Container& elements, char separator, bool trailing, Write write) {
    std::string text;
    size_t left = elements.size();
    for (const auto& element : elements) {
        write(text, element);
        if (--left > 0 || trailing) {
            text += separator;
        }
    }
    return text;
}

// A taker of tokens that keeps those the parser accepts.
template <typename T, typename Keep>
std::function<void(std::string_view)> Parsed(bool (*parse)(std::string_view, T*), Keep keep) {
    return [parse, keep](std::string_view token) {
        T value{};
        if (parse(token, &value)) {
            keep(value);
        }
    };
}

void WriteLong(std::string& text, int32_t value) {
    text += platform::Format("%d", value);
}

}  // namespace

void CStaticTools::SplitToULongArray(std::string_view text, char separator,
                                     std::vector<uint32_t>& values) {
    values.clear();
    ForEachToken(text, separator, Parsed<uint32_t>(StrToULongEx, [&values](uint32_t value) {
                     values.push_back(value);
                 }));
}

void CStaticTools::SplitToDoubleArray(std::string_view text, char separator,
                                      std::vector<double>& values, bool localeDecimalPoint) {
    values.clear();
    ForEachToken(text, separator, [&values, localeDecimalPoint](std::string_view token) {
        double value = 0.0;
        if (StrToDouble(token, &value, localeDecimalPoint)) {
            values.push_back(value);
        }
    });
}

void CStaticTools::SplitToTokens(std::string_view text, char separator,
                                 std::vector<std::string>& tokens) {
    tokens.clear();
    ForEachToken(text, separator,
                 [&tokens](std::string_view token) { tokens.emplace_back(token); });
}

void CStaticTools::SplitToTokenList(std::string_view text, char separator,
                                    std::list<std::string>& tokens) {
    tokens.clear();
    ForEachToken(text, separator,
                 [&tokens](std::string_view token) { tokens.emplace_back(token); });
}

void CStaticTools::SplitToLongList(std::string_view text, char separator,
                                   std::list<int32_t>& values) {
    values.clear();
    ForEachToken(text, separator, Parsed<int32_t>(StrToLongEx, [&values](int32_t value) {
                     values.push_back(value);
                 }));
}

void CStaticTools::SplitToLongArray(std::string_view text, char separator,
                                    std::vector<int32_t>& values) {
    values.clear();
    ForEachToken(text, separator, Parsed<int32_t>(StrToLongEx, [&values](int32_t value) {
                     values.push_back(value);
                 }));
}

void CStaticTools::SplitToLongSet(std::string_view text, char separator,
                                  std::set<int32_t>& values) {
    values.clear();
    ForEachToken(text, separator,
                 Parsed<int32_t>(StrToLongEx, [&values](int32_t value) { values.insert(value); }));
}

std::string CStaticTools::JoinStrings(const std::vector<std::string>& texts, char separator) {
    return Join(texts, separator, false,
                [separator](std::string& text, const std::string& element) {
                    for (const char c : element) {
                        if (c != separator) {
                            text += c;
                        }
                    }
                });
}

std::string CStaticTools::JoinLongList(const std::list<int32_t>& values, char separator,
                                       bool trailingSeparator) {
    return Join(values, separator, trailingSeparator, WriteLong);
}

std::string CStaticTools::JoinLongs(const std::vector<int32_t>& values, char separator) {
    return Join(values, separator, false, WriteLong);
}

std::string CStaticTools::JoinLongSet(const std::set<int32_t>& values, char separator) {
    return Join(values, separator, false, WriteLong);
}

std::string CStaticTools::JoinUnsigned(const std::vector<uint32_t>& values, char separator) {
    return Join(values, separator, false,
                [](std::string& text, uint32_t value) { text += platform::Format("%u", value); });
}

std::vector<int32_t> CStaticTools::TextsToNumbers(const std::vector<std::string>& texts) {
    std::vector<int32_t> numbers;
    numbers.reserve(texts.size());
    for (const std::string& text : texts) {
        int32_t value = 0;
        numbers.push_back(StrToLongEx(text, &value) ? value : kUnparsedNumber);
    }
    return numbers;
}

bool CStaticTools::SameNumbers(const std::vector<int32_t>& a, const std::vector<int32_t>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    return std::all_of(a.begin(), a.end(), [&b](int32_t value) {
        return std::find(b.begin(), b.end(), value) != b.end();
    });
}

std::set<int32_t> CStaticTools::NumbersToSet(const std::vector<int32_t>& values) {
    return std::set<int32_t>(values.begin(), values.end());
}

std::vector<int32_t> CStaticTools::SetToNumbers(const std::set<int32_t>& values) {
    return std::vector<int32_t>(values.begin(), values.end());
}

void CStaticTools::SortUnique(std::vector<int32_t>& values) {
    values = SetToNumbers(NumbersToSet(values));
}

size_t CStaticTools::EstimateTextSize(std::string_view text, bool contentsOnly) {
    return 2 * platform::Utf8ToUtf16(text).size() + (contentsOnly ? 0 : 4);
}

size_t CStaticTools::EstimateDWordArraySize(const std::vector<uint32_t>& values) {
    return 4 * values.size() + 20;
}

size_t CStaticTools::EstimateStringArraySize(const std::vector<std::string>& texts) {
    size_t size = 20;
    for (const std::string& text : texts) {
        size += EstimateTextSize(text, false);
    }
    return size;
}

size_t CStaticTools::EstimateStringMapSize(const std::map<std::string, std::string>& texts) {
    size_t size = 8;
    for (const auto& [key, value] : texts) {
        size += 20 + EstimateTextSize(key, false) + EstimateTextSize(value, false);
    }
    return size;
}

size_t CStaticTools::EstimateVectorSize(size_t elements) {
    return 24 * elements + 8;
}

}  // namespace ruzd::foundation
