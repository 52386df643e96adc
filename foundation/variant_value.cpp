#include "foundation/variant_value.h"

namespace ruzd::foundation {

VariantValue VariantValue::Integer(uint16_t type, int64_t value) {
    VariantValue variant(type);
    variant.integer_ = value;
    return variant;
}

VariantValue VariantValue::Real(uint16_t type, double value) {
    VariantValue variant(type);
    variant.real_ = value;
    return variant;
}

VariantValue VariantValue::Text(std::string text) {
    VariantValue variant(kVtBstr);
    variant.text_ = std::move(text);
    return variant;
}

VariantValue VariantValue::Bytes(std::vector<uint8_t> bytes) {
    VariantValue variant(kVtArray | kVtUi1);
    variant.bytes_ = std::move(bytes);
    return variant;
}

}  // namespace ruzd::foundation
