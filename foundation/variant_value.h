#pragma once

// A VARIANT of ours: a type code, as the VT_ constants number the types, and its value. Integer
// types keep their value in 64 bits (VT_UI8 as its bit pattern), floating types and dates a
// double (a date its OLE value), VT_CY its count of ten-thousandths, texts UTF-8, and a byte
// array (VT_ARRAY | VT_UI1) its bytes.

#include <cstdint>
#include <string>
#include <vector>

namespace ruzd::foundation {

enum VariantType : uint16_t {
    kVtEmpty = 0,
    kVtNull = 1,
    kVtI2 = 2,
    kVtI4 = 3,
    kVtR4 = 4,
    kVtR8 = 5,
    kVtCy = 6,
    kVtDate = 7,
    kVtBstr = 8,
    kVtError = 10,
    kVtBool = 11,
    kVtDecimal = 14,
    kVtI1 = 16,
    kVtUi1 = 17,
    kVtUi2 = 18,
    kVtUi4 = 19,
    kVtI8 = 20,
    kVtUi8 = 21,
    kVtInt = 22,
    kVtUint = 23,
    kVtArray = 0x2000,
};

// VARIANT_TRUE: a true VT_BOOL holds all bits set.
inline constexpr int64_t kVariantTrue = -1;

class VariantValue {
public:
    // An empty variant (VT_EMPTY).
    VariantValue() = default;

    static VariantValue OfType(uint16_t type) { return VariantValue(type); }
    static VariantValue Integer(uint16_t type, int64_t value);
    static VariantValue Real(uint16_t type, double value);
    static VariantValue Text(std::string text);
    static VariantValue Bytes(std::vector<uint8_t> bytes);

    uint16_t type() const { return type_; }
    bool IsEmpty() const { return type_ == kVtEmpty; }
    int64_t integer() const { return integer_; }
    double real() const { return real_; }
    const std::string& text() const { return text_; }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

    bool operator==(const VariantValue&) const = default;

private:
    explicit VariantValue(uint16_t type) : type_(type) {}

    uint16_t type_ = kVtEmpty;
    int64_t integer_ = 0;
    double real_ = 0.0;
    std::string text_;
    std::vector<uint8_t> bytes_;
};

}  // namespace ruzd::foundation
