// CStaticTools: variants to text and back, their sizes, and byte arrays as variants.

#include <charconv>
#include <cmath>
#include <limits>

#include "foundation/static_tools.h"
#include "platform/text.h"

namespace ruzd::foundation {
namespace {

constexpr double kCurrencyScale = 10000.0;

struct IntegerRange {
    int64_t lowest;
    int64_t highest;
};

// The range of each signed or narrow integer type; VT_UI8 is read apart.
std::optional<IntegerRange> RangeOf(uint16_t type) {
    switch (type) {
        case kVtI1:
            return IntegerRange{-128, 127};
        case kVtUi1:
            return IntegerRange{0, 255};
        case kVtI2:
            return IntegerRange{-32768, 32767};
        case kVtUi2:
            return IntegerRange{0, 65535};
        case kVtI4:
        case kVtInt:
        case kVtError:
            return IntegerRange{std::numeric_limits<int32_t>::min(),
                                std::numeric_limits<int32_t>::max()};
        case kVtUi4:
        case kVtUint:
            return IntegerRange{0, std::numeric_limits<uint32_t>::max()};
        case kVtI8:
            return IntegerRange{std::numeric_limits<int64_t>::min(),
                                std::numeric_limits<int64_t>::max()};
        default:
            return std::nullopt;
    }
}

// A whole number with blanks and tabs around it and an optional sign; none for anything else
// and for a number beyond what T holds.
template <typename T>
std::optional<T> ReadWhole(std::string_view text) {
    std::string_view number = platform::Trim(text, " \t");
    if (number.starts_with("+")) {
        number.remove_prefix(1);
    }
    T value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<bool> ReadBool(std::string_view text) {
    if (platform::EqualsIgnoreCase(text, "true")) {
        return true;
    }
    if (platform::EqualsIgnoreCase(text, "false")) {
        return false;
    }
    const std::optional<int64_t> number = ReadWhole<int64_t>(text);
    if (!number) {
        return std::nullopt;
    }
    return *number != 0;
}

}  // namespace

std::string CStaticTools::VariantToText(const VariantValue& value) {
    switch (value.type()) {
        case kVtI8:
            return platform::Format("%lld", static_cast<long long>(value.integer()));
        case kVtUi8:
            return platform::Format("%llu", static_cast<unsigned long long>(value.integer()));
        case kVtR4:
        case kVtR8:
            return FormatDouble(value.real(), false);
        case kVtCy:
            return FormatDouble(static_cast<double>(value.integer()) / kCurrencyScale, false);
        case kVtDate:
            return DefaultDateText(OleDate::FromValue(value.real()));
        case kVtBstr:
            return value.text();
        case kVtBool:
            return value.integer() != 0 ? "-1" : "0";
        default:
            break;
    }
    if (RangeOf(value.type())) {
        return platform::Format("%lld", static_cast<long long>(value.integer()));
    }
    return "";
}

VariantValue CStaticTools::TextToVariant(std::string_view text, uint16_t type) {
    switch (type) {
        case kVtEmpty:
        case kVtNull:
            return VariantValue::OfType(type);
        case kVtBstr:
            return VariantValue::Text(std::string(text));
        case kVtBool: {
            const std::optional<bool> flag = ReadBool(text);
            return flag ? VariantValue::Integer(kVtBool, *flag ? kVariantTrue : 0) : VariantValue();
        }
        case kVtUi8: {
            const std::optional<uint64_t> number = ReadWhole<uint64_t>(text);
            return number ? VariantValue::Integer(kVtUi8, static_cast<int64_t>(*number))
                          : VariantValue();
        }
        case kVtR4:
        case kVtR8:
        case kVtCy: {
            double number = 0.0;
            if (!StrToDouble(text, &number, false) || !std::isfinite(number) ||
                (type == kVtR4 && std::fabs(number) > std::numeric_limits<float>::max())) {
                return VariantValue();
            }
            if (type != kVtCy) {
                return VariantValue::Real(type,
                                          type == kVtR4 ? static_cast<float>(number) : number);
            }
            const double scaled = std::round(number * kCurrencyScale);
            if (std::fabs(scaled) >= 9.2e18) {
                return VariantValue();
            }
            return VariantValue::Integer(kVtCy, static_cast<int64_t>(scaled));
        }
        case kVtDate: {
            const OleDate date = ParseDateTime(text, false);
            return date.IsValid() ? VariantValue::Real(kVtDate, date.value()) : VariantValue();
        }
        default:
            break;
    }
    const std::optional<IntegerRange> range = RangeOf(type);
    const std::optional<int64_t> number = range ? ReadWhole<int64_t>(text) : std::nullopt;
    if (!number || *number < range->lowest || *number > range->highest) {
        return VariantValue();
    }
    return VariantValue::Integer(type, *number);
}

size_t CStaticTools::VariantTypeSize(uint16_t type, size_t text_length) {
    switch (type) {
        case kVtI2:
        case kVtBool:
        case kVtUi1:
            return 2;
        case kVtI4:
        case kVtError:
            return 4;
        case kVtR4:
        case kVtR8:
        case kVtCy:
        case kVtDate:
        case kVtDecimal:
        case kVtI8:
            return 8;
        case kVtBstr:
            return 2 * text_length;
        default:
            return 0;
    }
}

VariantValue CStaticTools::BytesToVariant(std::string_view bytes, bool emptyAsArray) {
    if (bytes.empty() && !emptyAsArray) {
        return VariantValue();
    }
    return VariantValue::Bytes(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

}  // namespace ruzd::foundation
